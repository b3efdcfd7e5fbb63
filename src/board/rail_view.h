// SPDX-License-Identifier: GPL-2.0-or-later
// How a rail's voltage table appears on its track bar: the highest voltage on top, whichever
// way the table runs, and an add-on table as the rail the user gets. The DFI boards' AGP bits
// add 0 or 0.4 V to the AGP rail's 1.5 V: the bar shows 1.50 and 1.90 V. The selected value
// stays the table's own, so Apply, the command line and the log are unchanged.
#pragma once

#include "board/voltage.h"

inline constexpr double kAgpRailVolts = 1.5;

struct RailView {
    const VoltageTable& table;
    double base;  // added to each value when shown: the rail under an add-on table, else 0
};

// The view of a rail; `agp` for the AGP rail, whose add-on tables (every value below 1 V)
// are shown on top of 1.5 V.
inline RailView rail_view(const VoltageTable& table, bool agp) {
    const bool addon = table_count(table) > 0 && table_min(table) < 1.0 && table_max(table) < 1.0;
    return {table, agp && addon ? kAgpRailVolts : 0.0};
}

// Whether the table's values fall from its first entry to its last.
inline bool falling(const RailView& rail) {
    return table_count(rail.table) > 1 && table_min(rail.table) > table_max(rail.table);
}

// The table entry at a bar position (position 0 is the top) and back.
inline int entry_at(const RailView& rail, int position) {
    return falling(rail) ? position : table_count(rail.table) - 1 - position;
}
inline int position_of(const RailView& rail, int entry) {
    return entry_at(rail, entry);  // the mapping is its own inverse
}

// The voltage shown for a table value, and the bar's top and bottom labels.
inline double shown_volts(const RailView& rail, double value) {
    return value + rail.base;
}
inline double top_volts(const RailView& rail) {
    const double a = table_min(rail.table), b = table_max(rail.table);
    return (a > b ? a : b) + rail.base;
}
inline double bottom_volts(const RailView& rail) {
    const double a = table_min(rail.table), b = table_max(rail.table);
    return (a < b ? a : b) + rail.base;
}
