// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFSB: raises the FSB while the processor is busy and lowers it while it is idle or too
// hot, between a minimum and a maximum, with the presets as stepping stones that carry the
// core and DIMM voltages for their FSB. Two timers drive it, one per direction; each tick
// copies the current values in, checks and, when due, runs.
#pragma once

#include <cstdint>

#include "automation/presets.h"
#include "board/boards.h"

struct AutoFsbState {
    // Settings (config.ini, section AutoFSB).
    int32_t enabled = 0;
    int32_t min_fsb = 0;     // MHz
    int32_t max_fsb = 0;     // MHz
    int32_t max_load = 0;    // percent: above it the FSB goes up
    int32_t min_load = 0;    // percent: below it the FSB goes down
    int32_t step_delay = 0;  // ms of pause after each FSB step
    int32_t max_delay = 0;   // s, interval of the up timer
    int32_t min_delay = 0;   // s, interval of the down timer
    // A side is armed by the first tick that sees its condition and fires on a later one.
    int32_t up_armed = 0;
    int32_t down_armed = 0;
    int32_t max_temp = 0;  // degrees Celsius
    // Copied in at each tick; a run advances fsb, vcore and vdimm.
    int32_t temp = 0;  // CPU temperature, degrees Celsius
    // 0: no CPU temperature is read (the item unmapped), so nothing says the way up is cool.
    int32_t temp_known = 1;
    int32_t load = 0;  // CPU load, percent
    int32_t fsb = 0;   // applied FSB, MHz
    double vcore = 0.0;
    double vdimm = 0.0;
    // The last Vcore setting failed, so the chip may hold neither the old voltage nor the new
    // one: the next voltage step sets it again, and no FSB rises until that succeeded.
    int32_t vcore_unsettled = 0;
    // Set from outside while a run steps: a sensor reading showed the CPU at max_temp, so an
    // up-run ends after its current step (load and temp stay those the run started with).
    int32_t hot_during_run = 0;
    // A run down for heat: the up side stays unarmed until the CPU is kHotRearmBelow degrees
    // under max_temp, or the FSB would swing with the temperature around the ceiling.
    int32_t cooling = 0;
};

inline constexpr int32_t kHotRearmBelow = 3;  // degrees Celsius

// Direction of autofsb_check: the up timer's tick or the down timer's.
inline constexpr int AUTOFSB_DOWN = 0;
inline constexpr int AUTOFSB_UP = 1;

// What autofsb_run did.
enum AutoFsbRunResult {
    AUTOFSB_NO_RUN = 0,        // no side was armed
    AUTOFSB_RUN_DONE = 1,      // walked to the limit (or was there already)
    AUTOFSB_FSB_FAILED = 2,    // a set_fsb failed: the run ended, fsb is what the board runs
    AUTOFSB_VCORE_FAILED = 3,  // a run upward could not set a preset's Vcore: FSB not raised
    AUTOFSB_STOPPED = 4,       // ended on request after a whole step: fsb is what it reached
};

// True when a run is due on this tick; arms the side on the first tick that sees its
// condition. Logs the check and what it decided.
bool autofsb_check(AutoFsbState& state, int direction);

// Serves the armed side (up first) and clears its flag: walks the FSB towards the limit, one
// preset or one MHz per step, with the step delay after each step. The voltages are raised
// before the FSB rises and lowered after it fell. Ends at the first FSB that could not be set
// and, going up, at the first core voltage that could not be set (also an unsettled one set
// again before a step without a preset). A stop asked for (stop_pending) ends it after the step
// in progress, an FSB walk at its next whole MHz.
int autofsb_run(AutoFsbState& state, Board& board);

// Sets the preset's Vcore and Vdimm where they differ from the state's (in whole millivolts),
// the Vcore also while it is unsettled, and takes each one that was set into the state. 1 when all
// needed settings succeeded, 0 when a setter failed; Vdimm is tried even when Vcore failed.
int autofsb_apply_voltages(AutoFsbState& state, Board& board, const Preset& preset);
