// SPDX-License-Identifier: GPL-2.0-or-later
// The readings of the last hours, for the History tab and its CSV log: one sample per sensor
// tick in a ring of fixed size (six hours at one tick a second), allocated once, and the marks
// where an Apply, a preset or an AutoFSB run changed the FSB or the core voltage.
//
// Times are the program's millisecond clock (current_clock().now_ms(), which wraps at 2^32):
// only differences to "now" are ever taken, so the wrap does not matter within six hours.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "sensors/sensor_display.h"

// The items of a sample, in the order of the CSV columns.
enum HistoryItem : uint8_t {
    HISTORY_CPU_TEMP,  // degrees Celsius
    HISTORY_SYS_TEMP,
    HISTORY_FAN1,  // revolutions per minute
    HISTORY_FAN2,
    HISTORY_FAN3,
    HISTORY_VCORE,  // volts, the mapped readings as the main tab shows them
    HISTORY_VDIMM,
    HISTORY_VDD,
    HISTORY_5V,
    HISTORY_12V,
    HISTORY_FSB,        // MHz
    HISTORY_CPU_CLOCK,  // MHz, FSB times the multiplier
    HISTORY_LOAD,       // percent
};
inline constexpr int kHistoryItems = 13;

struct HistoryItemInfo {
    const char* name;    // "CPU", "FAN1", "Vcore"
    const char* unit;    // "°C", "RPM", "V", "MHz", "%" (UTF-8)
    const char* column;  // the CSV header's name: "cpu_c"
    int decimals;        // as the main tab shows it
};
const HistoryItemInfo& history_item_info(int item);

// One value per item; a missing one ("NA": unmapped, never read, no board value) is NaN.
using HistoryValues = std::array<float, kHistoryItems>;
inline constexpr float kHistoryMissing = std::numeric_limits<float>::quiet_NaN();
inline bool history_missing(float value) {
    return std::isnan(value);
}

// A sample from what the window shows: the ten sensor fields as their texts give them ("NA"
// and an unmapped field are missing), the FSB the board runs (0: unknown), the CPU clock from
// it and the multiplier, and the CPU load.
HistoryValues history_values(const SensorFields& fields, int fsb_mhz, double cpu_multiplier,
                             int load_percent);

// An item over the window that ends at now_ms: the newest value in it and the lowest and
// highest of its values; `any` is false when it holds no value.
struct HistoryStats {
    bool any = false;
    float current = kHistoryMissing;
    float low = 0.0f;
    float high = 0.0f;
};

// One column of a drawn line: the values of the samples that fall into that column of the
// window, in time order. `joins`: a line runs from the point before to this one; without it
// a gap (a missing value, a pause) lies between them, and the point may share its column.
struct HistoryPoint {
    int column;
    bool joins;
    float first, last, low, high;
};

struct HistoryMark {
    uint32_t time_ms = 0;
    int item = HISTORY_FSB;  // what changed: HISTORY_FSB or HISTORY_VCORE
    std::string text;        // "FSB 166 → 200 MHz"
};

class History {
  public:
    static constexpr int kCapacity = 6 * 60 * 60;  // six hours at one tick a second
    static constexpr int kMarkCapacity = 256;

    History();

    // Adds the sample taken at now_ms, replacing the oldest one when the ring is full. A sample
    // that comes more than twice the tick period (and a second) after the one before starts a
    // new line: the updates were paused or the machine slept in between.
    void add(uint32_t now_ms, const HistoryValues& values, uint32_t period_ms);
    // Remembers a change; past kMarkCapacity the oldest mark goes.
    void mark(uint32_t now_ms, int item, std::string text);
    void clear();

    int size() const { return size_; }
    // The sample `back` ticks before the newest (0: the newest); back < size().
    uint32_t time_of(int back) const { return times_[slot(back)]; }
    float value(int item, int back) const { return values_[item * kCapacity + slot(back)]; }
    bool starts_line(int back) const { return line_starts_[slot(back)] != 0; }
    // How many of the newest samples are at most window_ms old at now_ms.
    int count_within(uint32_t now_ms, uint32_t window_ms) const;

    int mark_count() const { return mark_size_; }
    // Oldest first.
    const HistoryMark& mark_at(int i) const {
        return marks_[(mark_next_ + kMarkCapacity - mark_size_ + i) % kMarkCapacity];
    }

    // Every kSummarySpan slots of the ring, from a slot whose number is a multiple of it, are
    // summed up per item as they are written, so that a long window is drawn from the sums.
    static constexpr int kSummarySpan = 10;
    static constexpr int kSummaries = kCapacity / kSummarySpan;
    struct Summary {
        float first, last, low, high;
        uint8_t flags;  // kSummary* below
    };
    static constexpr uint8_t kSummaryAny = 1;       // it holds a value
    static constexpr uint8_t kSummaryOpens = 2;     // its first sample has one and starts no line
    static constexpr uint8_t kSummaryEndsOpen = 4;  // its last sample has one

  private:
    friend HistoryStats history_trace(const History&, int, uint32_t, uint32_t, int,
                                      std::vector<HistoryPoint>*);
    int slot(int back) const { return (next_ + kCapacity - 1 - back) % kCapacity; }

    std::unique_ptr<float[]> values_;  // item by item: [item * kCapacity + slot]
    std::unique_ptr<uint32_t[]> times_;
    std::unique_ptr<uint8_t[]> line_starts_;
    std::unique_ptr<Summary[]> summaries_;  // item by item: [item * kSummaries + slot / span]
    int next_ = 0;                          // the slot the next sample goes to
    int size_ = 0;
    std::array<HistoryMark, kMarkCapacity> marks_;
    int mark_next_ = 0;
    int mark_size_ = 0;
};

// The line of an item over the window that ends at now_ms, drawn `columns` wide (the oldest
// instant in column 0, now in column columns - 1), into `points` (its storage is reused), and
// the item's stats over the window. With points null only the stats are worked out.
HistoryStats history_trace(const History& history, int item, uint32_t now_ms, uint32_t window_ms,
                           int columns, std::vector<HistoryPoint>* points);

inline HistoryStats history_stats(const History& history, int item, uint32_t now_ms,
                                  uint32_t window_ms) {
    return history_trace(history, item, now_ms, window_ms, 1, nullptr);
}
