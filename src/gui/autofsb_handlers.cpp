// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFSB in the window: the switch (check box and tray item), the two timers that drive the
// engine, and the sensor tick's over-temperature arming.
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <cmath>
#include <initializer_list>
#include <memory>

#include "app/prompts.h"
#include "automation/autofsb.h"
#include "automation/cpuload.h"
#include "diag/debuglog.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "gui/up_down.h"
#include "sensors/sensor_display.h"

namespace {

bool same_volts(double a, double b) {
    return std::lround(a * 1000.0) == std::lround(b * 1000.0);
}

}  // namespace

// A request to switch on is a click that leaves the box checked, or a tray click, while
// AutoFSB is off; while it is on, every click but the nested one of the box switches it off.
// Checking or unchecking the box from code raises this handler again: the timers are started
// before the box is checked and stopped before it is unchecked, so that call finds nothing
// to do.
void TMain::EnableAutoFSB(QObject* sender) {
    const bool running = TimerAutoFSBmax->isActive();
    const bool from_tray = sender == TrayAutoFSB;
    if (!running && (from_tray || CheckBoxAutoFSB->isChecked())) {
        // Limits that make it swing between min. and max. FSB, or never move, are refused.
        const char* refusal = nullptr;
        if (settings.min_fsb == settings.max_fsb)
            refusal = "Set min. and max. FSB first.";
        else if (settings.min_fsb > settings.max_fsb)
            refusal = "Min. FSB > Max. FSB doesn't work...";
        else if (settings.min_load >= settings.max_load)
            refusal = "Min. load >= Max. load doesn't work...";
        if (refusal) {
            prompts_.show_message(refusal);
            CheckBoxAutoFSB->setChecked(false);
            TrayAutoFSB->setChecked(false);
            CheckBoxAutoFSB->setEnabled(true);
            TrayAutoFSB->setEnabled(true);
            settings.autofsb_enable = 0;
            return;
        }
        // The FSB and the voltages it drives show what is applied and are AutoFSB's alone.
        TrackBarVcore->setEnabled(false);
        UpDownVcore->setEnabled(false);
        ShowVcore(values_applied.vcore);
        TrackBarFSB->setEnabled(false);
        UpDownFSB->setEnabled(false);
        ShowFsb(values_applied.fsb);
        TrackBarVdimm->setEnabled(false);
        for (QPushButton* button : {ButtonMaxFSB, ButtonMinFSB, ButtonPresetAdd, ButtonPresetDel})
            button->setEnabled(false);
        TimerAutoFSBmax->start();
        TimerAutoFSBmin->start();
        CheckBoxAutoFSB->setChecked(true);
        TrayAutoFSB->setChecked(true);
        StatusBar1->showMessage("AutoFSB enabled.");
        debug_print("VELMORA: AutoFSB enabled\n");
        settings.autofsb_enable = 1;
        // Without a CPU temperature the ceiling is never seen: said once per run.
        if (!sensor_fields(sensor_table(), sensor_map).have_cpu_temperature &&
            !warned_no_cpu_temperature_) {
            warned_no_cpu_temperature_ = true;
            StatusBar1->showMessage(
                "AutoFSB enabled; no CPU temperature mapped, max. CPU temp. not watched.");
            debug_print("VELMORA: AutoFSB: no CPU temperature mapped, MaxTemp not watched\n");
        }
        return;
    }
    if (running && (from_tray || !CheckBoxAutoFSB->isChecked())) {
        for (QWidget* control : std::initializer_list<QWidget*>{
                 TrackBarVdimm, TrackBarVcore, UpDownVcore, TrackBarFSB, UpDownFSB, ButtonMaxFSB,
                 ButtonMinFSB, ButtonPresetAdd, ButtonPresetDel})
            control->setEnabled(true);
        TimerAutoFSBmax->stop();
        TimerAutoFSBmin->stop();
        // A run stepping ends after its current step.
        if (autofsb_run_active)
            steps_->end_action(nullptr);
        CheckBoxAutoFSB->setChecked(false);
        TrayAutoFSB->setChecked(false);
        StatusBar1->showMessage("AutoFSB disabled.");
        debug_print("VELMORA: AutoFSB disabled\n");
        settings.autofsb_enable = 0;
    }
}

// One tick of either timer. Skipped while another action steps (an Apply, a preset, a run):
// the hardware does one thing at a time. The timer is stopped around the check and the run,
// so that its next tick comes one whole interval after the run ended. The run's load and
// temperature are those of this tick.
void TMain::AutoFSB(QObject* sender) {
    if (closing_ || close_waiting_ || steps_->busy(HardwareSteps::Kind::Action))
        return;
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

    QTimer* timer = sender == TimerAutoFSBmax   ? TimerAutoFSBmax
                    : sender == TimerAutoFSBmin ? TimerAutoFSBmin
                                                : nullptr;
    if (!timer) {
        AutoFsbRunEnded(AUTOFSB_NO_RUN, nullptr, false);
        return;
    }
    const bool was_running = timer->isActive();
    timer->stop();
    if (!autofsb_check(s, timer == TimerAutoFSBmax ? AUTOFSB_UP : AUTOFSB_DOWN)) {
        AutoFsbRunEnded(AUTOFSB_NO_RUN, timer, was_running);
        return;
    }
    autofsb_run_active = true;
    autofsb_run_target = s.up_armed ? s.max_fsb : s.min_fsb;
    auto result = std::make_shared<int>(AUTOFSB_NO_RUN);
    steps_->start(
        HardwareSteps::Kind::Action, [this, result] { *result = autofsb_run(autofsb, board); },
        [this, result, timer, was_running] {
            autofsb_run_active = false;
            AutoFsbRunEnded(*result, timer, was_running);
        });
}

// What the run set is what the main tab shows as applied and selected.
void TMain::AutoFsbRunEnded(int result, QTimer* timer, bool restart_timer) {
    const AutoFsbState& s = autofsb;
    // A timer stopped meanwhile (AutoFSB switched off, the close) stays stopped.
    if (timer && restart_timer && !closing_ && settings.autofsb_enable)
        timer->start();
    vcore_unsettled = s.vcore_unsettled != 0;
    if (values_applied.fsb != s.fsb) {
        values_applied.fsb = values_selected.fsb = s.fsb;
        ShowFsb(s.fsb);
    }
    if (!same_volts(values_applied.vcore, s.vcore)) {
        ShowVcore(s.vcore);
        values_applied.vcore = values_selected.vcore = s.vcore;
    }
    if (!same_volts(values_applied.vdimm, s.vdimm)) {
        ShowVdimm(s.vdimm);
        values_applied.vdimm = values_selected.vdimm = s.vdimm;
    }
    MarkHistoryChanges();
    switch (result) {
        case AUTOFSB_FSB_FAILED:
            StatusBar1->showMessage("FSB setting failed, try another value.");
            break;
        case AUTOFSB_VCORE_FAILED:
            StatusBar1->showMessage("FSB not raised: the core voltage was not set.");
            break;
        case AUTOFSB_STOPPED:
            StatusBar1->showMessage(QString("FSB stopped at %1 MHz.").arg(s.fsb));
            break;
        default:
            StatusBar1->showMessage("AutoFSB run done.");
    }
    ShowTrayHint();
}

// An Apply, a preset, Reset, a board change: an AutoFSB run stepping ends first, after its
// current step, and the handler runs again once it has (with the FSB the run reached taken
// as applied).
bool TMain::EndAutoFsbRunFirst(Handler handler, QObject* sender) {
    if (!autofsb_run_active)
        return false;
    steps_->end_action([this, handler, sender] { (this->*handler)(sender); });
    return true;
}

// On every sensor tick, enabled or not: a CPU above the temperature ceiling arms the way
// down, which the down timer then serves.
void TMain::ArmOverTemperature() {
    // An up-run stepping ends after its current step once the CPU reaches the ceiling.
    if (autofsb_run_active && (!cpu_temperature_known || cpu_temperature >= settings.max_temp))
        autofsb.hot_during_run = 1;
    if (cpu_temperature_known && cpu_temperature > settings.max_temp && CheckBoxTemp->isChecked() &&
        autofsb.down_armed == 0 && values_applied.fsb != settings.min_fsb) {
        autofsb.down_armed = 1;
        StatusBar1->showMessage("AutoFSB: max. CPU temp reached");
        debug_print("VELMORA: AutoFSB: max. CPU temp reached\n");
    }
}
