// SPDX-License-Identifier: GPL-2.0-or-later
// Presets: an FSB and the core and DIMM voltages that go with it. The user keeps them in
// presets.ini; AutoFSB steps through them, and "Force max."/"Force min." apply the outermost.
#pragma once

#include <cstdint>

struct Preset {
    int16_t fsb;   // MHz
    double vcore;  // volts
    double vdimm;  // volts
};

// Adds the preset; an entry with the same FSB is replaced (the new one goes to the end).
void preset_add(const Preset& preset);
// Removes the entry with that FSB, if there is one.
void preset_remove(int fsb);
// 1 and the entry when one has that FSB; otherwise 0 and `out` all zeros (untouched when the
// store is empty).
int preset_get(int fsb, Preset* out);
// 1 and the entry at the index (store order), 0 outside 0..count-1.
int preset_at(int index, Preset* out);
int preset_count();
// The entry nearest to `fsb` strictly above it (above = 1) or strictly below (above = 0), at
// a distance below 300 MHz, the earlier entry winning a tie: 1 and the entry, or 0 with `out`
// untouched.
int preset_find_nearest(int fsb, Preset* out, int above);

// Empties the store, for tests.
void presets_reset_state();
