// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/autofsb.h"

#include <algorithm>
#include <cmath>

#include "board/fsb.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "hw/stop_request.h"
#include "platform/clock.h"

namespace {

void step_pause(const AutoFsbState& state) {
    if (state.step_delay > 0)
        current_clock().sleep_ms(static_cast<uint32_t>(state.step_delay));
}

int stopped(AutoFsbState& state) {
    debug_print("AUTOFSB: stopped at %d MHz\n", state.fsb);
    return AUTOFSB_STOPPED;
}

// One FSB step: AUTOFSB_RUN_DONE when it was set. A failed or stopped step ends the run: the
// state then holds what the board runs.
int step_fsb(AutoFsbState& state, int target, const char* failed_line) {
    const int result = set_fsb(target);
    if (result == 3) {
        state.fsb = get_fsb();
        return stopped(state);
    }
    if (result != 0) {
        debug_print(failed_line, target);
        state.fsb = get_fsb();
        return AUTOFSB_FSB_FAILED;
    }
    debug_print("AUTOFSB: Set to %d done\n", target);
    state.fsb = target;
    return AUTOFSB_RUN_DONE;
}

int run_up(AutoFsbState& state, Board& board) {
    debug_print("AUTOFSB: maxreached\n");
    state.up_armed = 0;
    while (state.load > state.max_load && state.fsb < state.max_fsb && state.temp_known &&
           state.temp < state.max_temp && !state.hot_during_run) {
        if (stop_pending())
            return stopped(state);
        Preset preset{};
        int target = state.fsb + 1;
        const bool found = preset_find_nearest(state.fsb, &preset, 1) != 0;
        if (found)
            target = std::min<int>(preset.fsb, state.max_fsb);
        else
            preset = Preset{0, state.vcore, state.vdimm};  // keeps the voltages as they are
        if (found || state.vcore_unsettled) {
            autofsb_apply_voltages(state, board, preset);
            // No clock rises on a core voltage that was not set.
            if (state.vcore_unsettled)
                return AUTOFSB_VCORE_FAILED;
        }
        if (const int result = step_fsb(state, target, "AUTOFSB: Set to %d failed!\n");
            result != AUTOFSB_RUN_DONE)
            return result;
        step_pause(state);
    }
    return AUTOFSB_RUN_DONE;
}

int run_down(AutoFsbState& state, Board& board) {
    debug_print("AUTOFSB: minreached\n");
    state.down_armed = 0;
    if (state.temp > state.max_temp)
        state.cooling = 1;
    Preset working{};  // the last preset found in this run; fsb 0 while there is none
    while ((state.load < state.min_load || state.temp > state.max_temp) &&
           state.fsb > state.min_fsb) {
        if (stop_pending())
            return stopped(state);
        int target = state.fsb - 1;
        if (preset_find_nearest(state.fsb, &working, 0))
            target = std::max<int>(working.fsb, state.min_fsb);
        // The voltages stay until the clock has fallen: none is lowered under an FSB that
        // did not go down.
        if (const int result = step_fsb(state, target, "AUTOFSB: AutoFSB: Set to %d failed!\n");
            result != AUTOFSB_RUN_DONE)
            return result;
        if (working.fsb != 0)
            autofsb_apply_voltages(state, board, working);
        step_pause(state);
    }
    return AUTOFSB_RUN_DONE;
}

}  // namespace

bool autofsb_check(AutoFsbState& s, int direction) {
    debug_print("AUTOFSB: check: %d-%d, %d-%d, %d-%d, %d, %d\n", s.min_fsb, s.max_fsb, s.min_load,
                s.max_load, s.max_delay, s.min_delay, s.max_temp, s.load);
    if (direction == AUTOFSB_UP) {
        if (s.cooling && s.temp <= s.max_temp - kHotRearmBelow)
            s.cooling = 0;
        const bool busy = s.load > s.max_load;
        if (busy && s.up_armed) {
            debug_print("AUTOFSB: max. load for %ds reached\n", s.max_delay);
            return true;
        }
        if (busy && s.temp_known && s.temp < s.max_temp && !s.cooling && !s.up_armed &&
            s.fsb != s.max_fsb) {
            s.up_armed = 1;
            debug_print("AUTOFSB: first time max. load reached\n");
        }
        return false;
    }
    const bool idle = s.load < s.min_load;
    const bool hot = s.temp > s.max_temp;
    if ((idle || hot) && s.down_armed) {
        debug_print("AUTOFSB: min. load for %ds reached\n", s.min_delay);
        return true;
    }
    if (idle && !s.down_armed && s.fsb != s.min_fsb) {
        s.down_armed = 1;
        debug_print("AUTOFSB: first time min. load reached\n");
    }
    if (s.max_temp != 0 && hot && !s.down_armed && s.fsb != s.min_fsb) {
        s.down_armed = 1;
        debug_print("AUTOFSB: max. CPU temp reached\n");
    }
    return false;
}

int autofsb_run(AutoFsbState& state, Board& board) {
    // With both sides armed the up side is served first; the down side fires on its next tick.
    if (state.up_armed)
        return run_up(state, board);
    if (state.down_armed)
        return run_down(state, board);
    return AUTOFSB_NO_RUN;
}

int autofsb_apply_voltages(AutoFsbState& state, Board& board, const Preset& preset) {
    int result = 1;
    if (!same_volts(state.vcore, preset.vcore) || state.vcore_unsettled) {
        state.vcore_unsettled = set_vcore(board, preset.vcore) != 0 ? 1 : 0;
        if (state.vcore_unsettled) {
            debug_print("AUTOFSB: Setting Vcore failed\n");
            result = 0;
        } else {
            debug_print("AUTOFSB: Setting Vcore to %f done\n", vcore_setting(board, preset.vcore));
            state.vcore = preset.vcore;
        }
    }
    if (!same_volts(state.vdimm, preset.vdimm)) {
        if (set_vdimm(board, preset.vdimm) != 0) {
            debug_print("AUTOFSB: AutoFSB: Setting Vdimm failed\n");
            result = 0;
        } else {
            debug_print("AUTOFSB: Setting Vdimm to %f done\n", preset.vdimm);
            state.vdimm = preset.vdimm;
        }
    }
    return result;
}
