// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/history.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace {

// clang-format off
constexpr HistoryItemInfo kItems[kHistoryItems] = {
    {"CPU", "\xC2\xB0" "C", "cpu_c", 0},
    {"SYS", "\xC2\xB0" "C", "sys_c", 0},
    {"FAN1", "RPM", "fan1_rpm", 0},
    {"FAN2", "RPM", "fan2_rpm", 0},
    {"FAN3", "RPM", "fan3_rpm", 0},
    {"Vcore", "V", "vcore_v", 3},
    {"VDimm", "V", "vdimm_v", 2},
    {"Vdd", "V", "vdd_v", 2},
    {"5V", "V", "v5_v", 2},
    {"12V", "V", "v12_v", 2},
    {"FSB", "MHz", "fsb_mhz", 0},
    {"Clock", "MHz", "cpu_mhz", 0},
    {"Load", "%", "load_pct", 0},
};
// clang-format on

// The sensor map's pair that each of the first ten items shows.
constexpr int kPairOfItem[] = {0, 1, 7, 8, 9, 2, 3, 4, 5, 6};

// The number a field's text starts with ("45 °C", "1.650 V", "3013"); "NA" and "" have none.
float field_number(const std::string& text) {
    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : kHistoryMissing;
}

}  // namespace

const HistoryItemInfo& history_item_info(int item) {
    return kItems[item];
}

HistoryValues history_values(const SensorFields& fields, int fsb_mhz, double cpu_multiplier,
                             int load_percent) {
    HistoryValues values;
    for (int item = 0; item < HISTORY_FSB; ++item)
        values[item] = field_number(fields.text[kPairOfItem[item]]);
    const bool fsb_known = fsb_mhz > 0;
    values[HISTORY_FSB] = fsb_known ? static_cast<float>(fsb_mhz) : kHistoryMissing;
    values[HISTORY_CPU_CLOCK] = fsb_known && cpu_multiplier > 0.0
                                    ? static_cast<float>(fsb_mhz * cpu_multiplier)
                                    : kHistoryMissing;
    values[HISTORY_LOAD] = static_cast<float>(load_percent);
    return values;
}

History::History()
    : values_(new float[static_cast<size_t>(kHistoryItems) * kCapacity]),
      times_(new uint32_t[kCapacity]),
      line_starts_(new uint8_t[kCapacity]),
      summaries_(new Summary[static_cast<size_t>(kHistoryItems) * kSummaries]) {}

void History::add(uint32_t now_ms, const HistoryValues& values, uint32_t period_ms) {
    const uint64_t longest_gap = 2ull * period_ms + 1000u;
    const bool starts = size_ == 0 || now_ms - time_of(0) > longest_gap;
    const bool summary_starts = next_ % kSummarySpan == 0;
    for (int item = 0; item < kHistoryItems; ++item) {
        const float v = values[item];
        values_[item * kCapacity + next_] = v;
        Summary& sum = summaries_[item * kSummaries + next_ / kSummarySpan];
        if (summary_starts)
            sum.flags = 0;
        if (history_missing(v)) {
            sum.flags &= static_cast<uint8_t>(~kSummaryEndsOpen);
            continue;
        }
        if (!(sum.flags & kSummaryAny)) {
            sum.first = sum.low = sum.high = v;
            sum.flags |= kSummaryAny | (summary_starts && !starts ? kSummaryOpens : 0);
        }
        sum.low = std::min(sum.low, v);
        sum.high = std::max(sum.high, v);
        sum.last = v;
        sum.flags |= kSummaryEndsOpen;
    }
    times_[next_] = now_ms;
    line_starts_[next_] = starts ? 1 : 0;
    next_ = (next_ + 1) % kCapacity;
    size_ = std::min(size_ + 1, kCapacity);
}

void History::mark(uint32_t now_ms, int item, std::string text) {
    HistoryMark& m = marks_[mark_next_];
    m.time_ms = now_ms;
    m.item = item;
    m.text = std::move(text);
    mark_next_ = (mark_next_ + 1) % kMarkCapacity;
    mark_size_ = std::min(mark_size_ + 1, kMarkCapacity);
}

void History::clear() {
    next_ = size_ = 0;
    mark_next_ = mark_size_ = 0;
}

// The ages of the samples grow from the newest back: the first one too old ends the window.
int History::count_within(uint32_t now_ms, uint32_t window_ms) const {
    int inside = 0, outside = size_;
    while (inside < outside) {
        const int middle = inside + (outside - inside) / 2;
        if (now_ms - time_of(middle) <= window_ms)
            inside = middle + 1;
        else
            outside = middle;
    }
    return inside;
}

namespace {

// Builds the points of a line from the readings in time order: single samples, or the sums of
// several that fall into one column.
class Tracer {
  public:
    Tracer(uint32_t window_ms, int columns, std::vector<HistoryPoint>* points)
        : window_ms_(window_ms),
          last_column_(static_cast<uint64_t>(columns - 1)),
          points_(points) {}

    // A stretch of readings that begins since_start ms into the window. `joins`: it goes on
    // from the reading before it; `open_after`: the one after it may go on from it.
    void add(uint32_t since_start, bool joins, float first, float last, float low, float high,
             bool open_after) {
        if (!any_) {
            any_ = true;
            low_ = low;
            high_ = high;
        } else {
            low_ = low < low_ ? low : low_;
            high_ = high > high_ ? high : high_;
        }
        if (points_) {
            if (column_ < 0 || since_start >= next_column_at_)
                find_column(since_start);
            joins = joins && open_;
            if (joins && filling_ && point_.column == column_) {
                point_.last = last;
                point_.low = low < point_.low ? low : point_.low;
                point_.high = high > point_.high ? high : point_.high;
            } else {
                if (filling_)
                    points_->push_back(point_);
                point_ = HistoryPoint{column_, joins, first, last, low, high};
                filling_ = true;
            }
        }
        open_ = open_after;
    }
    void gap() { open_ = false; }
    HistoryStats finish(float current) {
        if (filling_)
            points_->push_back(point_);
        HistoryStats stats;
        stats.any = any_;
        stats.current = current;
        stats.low = low_;
        stats.high = high_;
        return stats;
    }

  private:
    // The column of the instant, and the first instant of the column after it.
    void find_column(uint32_t since_start) {
        column_ = static_cast<int>(since_start * last_column_ / window_ms_);
        next_column_at_ =
            last_column_ == 0
                ? UINT32_MAX
                : static_cast<uint32_t>(
                      ((static_cast<uint64_t>(column_) + 1) * window_ms_ + last_column_ - 1) /
                      last_column_);
    }

    const uint32_t window_ms_;
    const uint64_t last_column_;
    std::vector<HistoryPoint>* const points_;
    bool any_ = false;
    float low_ = 0.0f, high_ = 0.0f;
    int column_ = -1;
    uint32_t next_column_at_ = 0;
    bool open_ = false;     // the reading before had a value and a line may go on from it
    bool filling_ = false;  // point_ holds readings not yet handed to points_
    HistoryPoint point_{};
};

}  // namespace

// One pass over the window, oldest first, straight through the ring's storage. A long window
// (at least two summaries to a column: six hours on a chart of 700 pixels) takes the summaries
// of ten samples each where it can: a gap inside one of them lies within a column and cannot be
// seen, and the redraw reads a tenth of the values.
HistoryStats history_trace(const History& history, int item, uint32_t now_ms, uint32_t window_ms,
                           int columns, std::vector<HistoryPoint>* points) {
    if (points)
        points->clear();
    const int count = history.count_within(now_ms, window_ms);
    if (count == 0 || window_ms == 0 || columns <= 0)
        return HistoryStats{};
    Tracer tracer(window_ms, columns, points);
    const float* const values = history.values_.get() + item * History::kCapacity;
    const History::Summary* const sums = history.summaries_.get() + item * History::kSummaries;
    const uint32_t* const times = history.times_.get();
    const uint8_t* const line_starts = history.line_starts_.get();
    const uint32_t start_ms = now_ms - window_ms;
    const bool summed = !points || count >= 2 * History::kSummarySpan * columns;
    int s = history.slot(count - 1);
    for (int left = count; left > 0;) {
        if (summed && s % History::kSummarySpan == 0) {
            // The summary holds the samples written since its first slot: the whole span, or
            // the newest samples where the ring has not filled it yet. It stands where its last
            // sample does, so that the line reaches now.
            const History::Summary& sum = sums[s / History::kSummarySpan];
            const int span = std::min(left, History::kSummarySpan);
            if (sum.flags & History::kSummaryAny)
                tracer.add(times[s + span - 1] - start_ms,
                           (sum.flags & History::kSummaryOpens) != 0, sum.first, sum.last, sum.low,
                           sum.high, (sum.flags & History::kSummaryEndsOpen) != 0);
            else
                tracer.gap();
            left -= span;
            s = (s + span) % History::kCapacity;
            continue;
        }
        const float v = values[s];
        if (history_missing(v))
            tracer.gap();
        else
            tracer.add(times[s] - start_ms, line_starts[s] == 0, v, v, v, v, true);
        --left;
        s = s + 1 == History::kCapacity ? 0 : s + 1;
    }
    return tracer.finish(history.value(item, 0));
}
