// SPDX-License-Identifier: GPL-2.0-or-later
// The History tab's cost at every sensor tick: one sample into the ring (from the sensor fields
// as the main tab shows them), one CSV line appended, and one full redraw of the charts at the
// size the window gives them, for each range over a full six-hour ring. The clock does not
// wait; the redraw renders into a QImage offscreen, as the window's backing store would.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QTabWidget>
#include <cmath>
#include <ctime>
#include <memory>

#include "app/prompts.h"
#include "automation/history.h"
#include "automation/history_csv.h"
#include "bench_world.h"
#include "gui/history_chart.h"
#include "gui/main_window.h"
#include "hw/port_io.h"
#include "log_dir.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

SensorFields fields_of_a_tick() {
    SensorFields fields;
    const char* texts[kSensorMapPairs] = {
        "47 \xC2\xB0"
        "C",
        "31 \xC2\xB0"
        "C",
        "1.650 V",
        "2.63 V",
        "1.60 V",
        "5.03 V",
        "12.10 V",
        "3013",
        "2410",
        "NA"};
    for (int i = 0; i < kSensorMapPairs; ++i)
        fields.text[i] = texts[i];
    return fields;
}

// Six hours of wandering readings, a fan that stops for a while and a pause of the updates,
// with the marks of a few FSB and core-voltage changes.
void fill(History& history, uint32_t now_ms) {
    const uint32_t start = now_ms - (History::kCapacity - 1) * 1000u;
    for (int i = 0; i < History::kCapacity; ++i) {
        const double t = i / 600.0;
        HistoryValues v;
        v[HISTORY_CPU_TEMP] = static_cast<float>(std::lround(45 + 8 * std::sin(t)));
        v[HISTORY_SYS_TEMP] = static_cast<float>(std::lround(31 + 2 * std::sin(t / 3)));
        v[HISTORY_FAN1] = static_cast<float>(3000 + (i * 37) % 60);
        v[HISTORY_FAN2] = static_cast<float>(2400 + 200 * std::sin(t * 2));
        v[HISTORY_FAN3] = i % 5000 < 600 ? kHistoryMissing : 1800.0f;
        v[HISTORY_VCORE] = i < 10800 ? 1.650f : 1.700f;
        v[HISTORY_VDIMM] = 2.63f + 0.01f * static_cast<float>(i % 3);
        v[HISTORY_VDD] = 1.60f;
        v[HISTORY_5V] = 5.03f - 0.03f * static_cast<float>(i % 2);
        v[HISTORY_12V] = 12.10f + 0.06f * static_cast<float>(i % 4);
        v[HISTORY_FSB] = i < 10800 ? 166.0f : 200.0f;
        v[HISTORY_CPU_CLOCK] = v[HISTORY_FSB] * 11.0f;
        v[HISTORY_LOAD] = static_cast<float>((i * 7) % 101);
        const bool paused = i > 15000 && i < 15300;
        if (!paused)
            history.add(start + static_cast<uint32_t>(i) * 1000u, v, 1000);
        if (i % 1800 == 0)
            history.mark(start + static_cast<uint32_t>(i) * 1000u,
                         i % 3600 ? HISTORY_VCORE : HISTORY_FSB, "FSB 166 \xE2\x86\x92 200 MHz");
    }
}

void BM_HistoryAddSample(benchmark::State& state) {
    auto history = std::make_unique<History>();
    const SensorFields fields = fields_of_a_tick();
    uint32_t now = 0;
    for (auto _ : state) {
        history->add(now += 1000, history_values(fields, 166, 11.0, 42), 1000);
        benchmark::DoNotOptimize(history->size());
    }
}
BENCHMARK(BM_HistoryAddSample);

void BM_HistoryCsvAppend(benchmark::State& state) {
    LogDir dir;
    HistoryCsv csv;
    csv.set_path("readings.csv");
    const HistoryValues values = history_values(fields_of_a_tick(), 166, 11.0, 42);
    const std::time_t when = std::time(nullptr);
    for (auto _ : state)
        csv.append(when, values);
}
BENCHMARK(BM_HistoryCsvAppend);

// The whole chart widget as the History tab of the window shows it (its size there), redrawn
// over a full ring: range 600, 3600 or 21600 seconds.
void BM_HistoryRedraw(benchmark::State& state) {
    LogDir dir;
    NullClock clock;
    clock.now = 50u * 3600u * 1000u;
    install_clock(&clock);
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    machine.set_cpu_load(0);
    install_port_backend(&machine);
    QuietPrompts prompts;
    {
        TMain main(prompts, {});
        main.show();
        main.PageControl1->setCurrentWidget(main.history_tab.TabSheet6);
        QApplication::processEvents();
        main.history->clear();
        fill(*main.history, clock.now);
        main.history_tab.HistoryChart1->set_window_seconds(static_cast<uint32_t>(state.range(0)));
        QImage image(main.history_tab.HistoryChart1->size(), QImage::Format_ARGB32_Premultiplied);
        for (auto _ : state)
            main.history_tab.HistoryChart1->render(&image);
        state.counters["width"] = main.history_tab.HistoryChart1->width();
        state.counters["height"] = main.history_tab.HistoryChart1->height();
    }
    install_port_backend(nullptr);
    install_clock(nullptr);
}
BENCHMARK(BM_HistoryRedraw)->Arg(600)->Arg(3600)->Arg(21600)->Unit(benchmark::kMicrosecond);

}  // namespace
