// SPDX-License-Identifier: GPL-2.0-or-later
// The readings' ring and CSV lines: windows, lowest and highest, gaps, the wrap after six hours,
// the marks, and a CSV file that may not be written.
#include "automation/history.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "automation/history_csv.h"
#include "diag/debuglog.h"
#include "helpers/temp_dir.h"
#include "platform/clock.h"

namespace {

constexpr float NA = kHistoryMissing;

HistoryValues with_cpu(float cpu) {
    HistoryValues v;
    v.fill(1.0f);
    v[HISTORY_CPU_TEMP] = cpu;
    return v;
}

TEST(History, WindowsGiveCurrentLowestHighestAndLinesWithGaps) {
    VirtualClock clock;
    clock.now = 4294960000u;  // the millisecond clock wraps at 2^32 within this series
    History h;
    // One tick a second; a missing reading, and a pause of 10 s after the sixth sample.
    const float series[] = {40, 44, NA, 47, 45, 42, 43, 41};
    for (int i = 0; i < 8; ++i) {
        clock.advance(i == 6 ? 10000 : 1000);
        h.add(clock.now_ms(), with_cpu(series[i]), 1000);
    }
    const uint32_t now = clock.now_ms();
    const struct {
        uint32_t window_ms;
        int count;
        bool any;
        float low, high;
    } windows[] = {
        {500, 1, true, 41, 41},   {1000, 2, true, 41, 43},  {11000, 3, true, 41, 43},
        {11999, 3, true, 41, 43}, {12000, 4, true, 41, 45}, {60000, 8, true, 40, 47},
    };
    for (const auto& w : windows) {
        EXPECT_EQ(h.count_within(now, w.window_ms), w.count) << w.window_ms;
        const HistoryStats s = history_stats(h, HISTORY_CPU_TEMP, now, w.window_ms);
        EXPECT_EQ(s.any, w.any) << w.window_ms;
        EXPECT_EQ(s.current, 41);
        EXPECT_EQ(s.low, w.low) << w.window_ms;
        EXPECT_EQ(s.high, w.high) << w.window_ms;
    }
    // Long after the last tick the window holds nothing: no current value either.
    const HistoryStats stale = history_stats(h, HISTORY_CPU_TEMP, now + 700000, 600000);
    EXPECT_FALSE(stale.any);
    EXPECT_TRUE(history_missing(stale.current));

    // Drawn 19 columns wide over 18 s (one column a second, the first sample 16 s old): the
    // missing reading and the pause each leave a gap; the samples around them join.
    std::vector<HistoryPoint> points;
    history_trace(h, HISTORY_CPU_TEMP, now, 18000, 19, &points);
    ASSERT_EQ(points.size(), 7u);
    const struct {
        int column;
        bool joins;
        float value;
    } expected[] = {{2, false, 40}, {3, true, 44},   {5, false, 47}, {6, true, 45},
                    {7, true, 42},  {17, false, 43}, {18, true, 41}};
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].column, expected[i].column) << i;
        EXPECT_EQ(points[i].joins, expected[i].joins) << i;
        EXPECT_EQ(points[i].first, expected[i].value) << i;
    }
    // Three columns over the same time: several samples per column, lowest to highest.
    history_trace(h, HISTORY_CPU_TEMP, now, 18000, 3, &points);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].column, 0);
    EXPECT_EQ(points[0].high, 44);
    EXPECT_EQ(points[1].column, 0);  // after the gap, in the same column
    EXPECT_FALSE(points[1].joins);
    EXPECT_EQ(points[1].low, 42);
    EXPECT_EQ(points[1].high, 47);
    EXPECT_EQ(points[1].first, 47);
    EXPECT_EQ(points[1].last, 42);
}

TEST(History, AfterSixHoursTheOldestSamplesAndMarksMakeRoom) {
    VirtualClock clock;
    History h;
    const int extra = 100;
    for (int i = 0; i < History::kCapacity + extra; ++i) {
        clock.advance(1000);
        h.add(clock.now_ms(), with_cpu(static_cast<float>(i % 1000)), 1000);
    }
    EXPECT_EQ(h.size(), History::kCapacity);
    EXPECT_EQ(h.time_of(0), clock.now_ms());
    EXPECT_EQ(h.time_of(History::kCapacity - 1), static_cast<uint32_t>(extra + 1) * 1000u);
    EXPECT_EQ(h.value(HISTORY_CPU_TEMP, History::kCapacity - 1), extra);
    EXPECT_EQ(h.count_within(clock.now_ms(), 6 * 3600 * 1000), History::kCapacity);
    const HistoryStats s = history_stats(h, HISTORY_CPU_TEMP, clock.now_ms(), 6 * 3600 * 1000);
    EXPECT_EQ(s.low, 0);
    EXPECT_EQ(s.high, 999);
    EXPECT_EQ(s.current, (History::kCapacity + extra - 1) % 1000);

    // Six hours on 100 columns are drawn from the sums of ten samples: a missing stretch that
    // does not start on a sum's first sample and a pause still break the line where they are.
    History sums;
    VirtualClock later;
    for (int i = 0; i < History::kCapacity; ++i) {
        later.advance(i == 12000 ? 61000 : 1000);
        sums.add(later.now_ms(), with_cpu(i >= 5005 && i < 5105 ? NA : static_cast<float>(i % 7)),
                 1000);
    }
    std::vector<HistoryPoint> points;
    const HistoryStats all =
        history_trace(sums, HISTORY_CPU_TEMP, later.now_ms(), later.now_ms(), 100, &points);
    EXPECT_EQ(all.low, 0);
    EXPECT_EQ(all.high, 6);
    std::vector<int> line_starts;
    for (const HistoryPoint& p : points)
        if (!p.joins)
            line_starts.push_back(p.column);
    EXPECT_EQ(line_starts, (std::vector<int>{0, 23, 55}));
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.back().column, 99);

    for (int i = 0; i < History::kMarkCapacity + 3; ++i)
        h.mark(static_cast<uint32_t>(i), HISTORY_FSB, std::to_string(i));
    EXPECT_EQ(h.mark_count(), History::kMarkCapacity);
    EXPECT_EQ(h.mark_at(0).text, "3");
    EXPECT_EQ(h.mark_at(History::kMarkCapacity - 1).text,
              std::to_string(History::kMarkCapacity + 2));
}

TEST(History, SamplesAreTheFieldsAsShownAndTheirCsvLines) {
    SensorFields fields;
    const char* texts[kSensorMapPairs] = {
        "-5 \xC2\xB0"
        "C",
        "NA",
        "1.650 V",
        "2.63 V",
        "",
        "5.03 V",
        "12.10 V",
        "3013",
        "0",
        "NA"};
    for (int i = 0; i < kSensorMapPairs; ++i)
        fields.text[i] = texts[i];
    HistoryValues v = history_values(fields, 200, 11.5, 42);
    std::string line;
    const char* zone = std::getenv("TZ");
    const std::string old_zone = zone ? zone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    history_csv_line(86399, v, line);
    zone ? setenv("TZ", old_zone.c_str(), 1) : unsetenv("TZ");
    tzset();
    EXPECT_EQ(line, "1970-01-01T23:59:59,-5,,3013,0,,1.650,2.63,,5.03,12.10,200,2300,42\n");
    EXPECT_EQ(history_csv_header(),
              "time,cpu_c,sys_c,fan1_rpm,fan2_rpm,fan3_rpm,vcore_v,vdimm_v,vdd_v,v5_v,v12_v,"
              "fsb_mhz,cpu_mhz,load_pct\n");
    // No FSB read: neither it nor the clock; no multiplier: no clock.
    v = history_values(fields, 0, 11.5, 42);
    EXPECT_TRUE(history_missing(v[HISTORY_FSB]) && history_missing(v[HISTORY_CPU_CLOCK]));
    v = history_values(fields, 166, 0.0, 42);
    EXPECT_EQ(v[HISTORY_FSB], 166);
    EXPECT_TRUE(history_missing(v[HISTORY_CPU_CLOCK]));
}

TEST(HistoryCsv, ALinkIsRefusedOnceUntilTheFileChanges) {
    TempWorkDir dir;
    write_file("target.csv", "");
    ASSERT_EQ(symlink("target.csv", "link.csv"), 0);
    HistoryCsv csv;
    const HistoryValues v = with_cpu(45);
    csv.set_path("link.csv");
    csv.append(0, v);
    csv.append(0, v);
    const std::string said = "HISTORY: link.csv is a symbolic link, readings not logged\n";
    EXPECT_EQ(read_file("velmora.deb"), said);
    EXPECT_EQ(read_file("target.csv"), "");

    csv.set_path("readings.csv");
    csv.append(0, v);
    csv.append(0, v);
    std::string line;
    history_csv_line(0, v, line);
    EXPECT_EQ(read_file("readings.csv"), history_csv_header() + line + line);
    // Back to the link: said again, as a new choice.
    csv.set_path("link.csv");
    csv.append(0, v);
    debug_flush_repeats();
    EXPECT_EQ(read_file("velmora.deb"), said + "HISTORY: ... 1 more time\n");
}

}  // namespace
