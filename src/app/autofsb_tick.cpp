// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFSB in the session: whether its limits let it start, the engine's inputs at each tick of
// its timers, the run, and what the run leaves as applied.
#include "app/session.h"
#include "automation/autofsb.h"
#include "automation/cpuload.h"
#include "board/fsb.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "diag/number_text.h"
#include "sensors/sensor_display.h"

// Limits that make it swing between min. and max. FSB, or never move, are refused.
const char* Session::AutoFsbRefusal() const {
    if (!fsb_holder().empty())
        return "The kernel's cpufreq driver drives the FSB: AutoFSB can't.";
    if (settings.min_fsb == settings.max_fsb)
        return "Set min. and max. FSB first.";
    if (settings.min_fsb > settings.max_fsb)
        return "Min. FSB > Max. FSB doesn't work...";
    if (settings.min_load >= settings.max_load)
        return "Min. load >= Max. load doesn't work...";
    return nullptr;
}

void Session::AutoFsbSwitched(bool on) {
    settings.autofsb_enable = on ? 1 : 0;
    view_.show_status(on ? "AutoFSB enabled." : "AutoFSB disabled.");
    debug_print(on ? "VELMORA: AutoFSB enabled\n" : "VELMORA: AutoFSB disabled\n");
    // Without a CPU temperature the ceiling is never seen: said once per run.
    if (on && !sensor_fields(sensor_table(), sensor_map).have_cpu_temperature &&
        !warned_no_cpu_temperature_) {
        warned_no_cpu_temperature_ = true;
        view_.show_status(
            "AutoFSB enabled; no CPU temperature mapped, max. CPU temp. not watched.");
        debug_print("VELMORA: AutoFSB: no CPU temperature mapped, MaxTemp not watched\n");
    }
}

void Session::AutoFsbInputs() {
    AutoFsbState& s = autofsb;
    s.enabled = settings.autofsb_enable;
    s.min_fsb = settings.min_fsb;
    s.max_fsb = settings.max_fsb;
    s.max_load = settings.max_load;
    s.min_load = settings.min_load;
    s.step_delay = settings.delay_change;
    s.max_delay = settings.max_delay;
    s.min_delay = settings.min_delay;
    s.max_temp = settings.max_temp;
    s.temp = cpu_temperature;
    s.temp_known = cpu_temperature_known ? 1 : 0;
    s.load = cpu_load.load();
    s.fsb = values_applied.fsb;
    s.vcore = values_applied.vcore;
    s.vdimm = values_applied.vdimm;
    s.vcore_unsettled = vcore_unsettled ? 1 : 0;
    s.hot_during_run = 0;
}

bool Session::AutoFsbDue(bool up) {
    if (!autofsb_check(autofsb, up ? AUTOFSB_UP : AUTOFSB_DOWN))
        return false;
    autofsb_run_active = true;
    autofsb_run_target = autofsb.up_armed ? autofsb.max_fsb : autofsb.min_fsb;
    return true;
}

int Session::AutoFsbRun() {
    return autofsb_run(autofsb, board);
}

// What the run set is what the main tab shows as applied and selected.
void Session::AutoFsbRunEnded(int result) {
    const AutoFsbState& s = autofsb;
    vcore_unsettled = s.vcore_unsettled != 0;
    if (values_applied.fsb != s.fsb) {
        values_applied.fsb = values_selected.fsb = s.fsb;
        view_.show_fsb(s.fsb);
    }
    if (!same_volts(values_applied.vcore, s.vcore)) {
        view_.show_vcore(s.vcore);
        values_applied.vcore = values_selected.vcore = s.vcore;
    }
    if (!same_volts(values_applied.vdimm, s.vdimm)) {
        view_.show_vdimm(s.vdimm);
        values_applied.vdimm = values_selected.vdimm = s.vdimm;
    }
    MarkHistoryChanges();
    switch (result) {
        case AUTOFSB_FSB_FAILED:
            view_.show_status("FSB setting failed, try another value.");
            break;
        case AUTOFSB_VCORE_FAILED:
            view_.show_status("FSB not raised: the core voltage was not set.");
            break;
        case AUTOFSB_STOPPED:
            view_.show_status("FSB stopped at " + whole_text(s.fsb) + " MHz.");
            break;
        default:
            view_.show_status("AutoFSB run done.");
    }
}
