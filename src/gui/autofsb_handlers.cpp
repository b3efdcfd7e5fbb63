// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFSB in the window: the switch (check box and tray item) and the two timers that drive
// the session's engine (app/autofsb_tick.cpp).
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <initializer_list>
#include <memory>

#include "app/prompts.h"
#include "automation/autofsb.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "gui/up_down.h"

// A request to switch on is a click that leaves the box checked, or a tray click, while
// AutoFSB is off; while it is on, every click but the nested one of the box switches it off.
// Checking or unchecking the box from code raises this handler again: the timers are started
// before the box is checked and stopped before it is unchecked, so that call finds nothing
// to do.
void TMain::EnableAutoFSB(QObject* sender) {
    const bool running = TimerAutoFSBmax->isActive();
    const bool from_tray = sender == TrayAutoFSB;
    if (!running && (from_tray || CheckBoxAutoFSB->isChecked())) {
        if (const char* refusal = AutoFsbRefusal()) {
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
        AutoFsbSwitched(true);
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
        AutoFsbSwitched(false);
    }
}

// One tick of either timer. Skipped while another action steps (an Apply, a preset, a run):
// the hardware does one thing at a time. The timer is stopped around the check and the run,
// so that its next tick comes one whole interval after the run ended. The run's load and
// temperature are those of this tick.
void TMain::AutoFSB(QObject* sender) {
    if (closing_ || close_waiting_ || steps_->busy(HardwareSteps::Kind::Action))
        return;
    AutoFsbInputs();
    QTimer* timer = sender == TimerAutoFSBmax   ? TimerAutoFSBmax
                    : sender == TimerAutoFSBmin ? TimerAutoFSBmin
                                                : nullptr;
    if (!timer) {
        AutoFsbRunEnded(AUTOFSB_NO_RUN, nullptr, false);
        return;
    }
    const bool was_running = timer->isActive();
    timer->stop();
    if (!AutoFsbDue(timer == TimerAutoFSBmax)) {
        AutoFsbRunEnded(AUTOFSB_NO_RUN, timer, was_running);
        return;
    }
    auto result = std::make_shared<int>(AUTOFSB_NO_RUN);
    steps_->start(
        HardwareSteps::Kind::Action, [this, result] { *result = AutoFsbRun(); },
        [this, result, timer, was_running] {
            autofsb_run_active = false;
            AutoFsbRunEnded(*result, timer, was_running);
        });
}

// What the run set is what the main tab shows as applied and selected.
void TMain::AutoFsbRunEnded(int result, QTimer* timer, bool restart_timer) {
    // A timer stopped meanwhile (AutoFSB switched off, the close) stays stopped.
    if (timer && restart_timer && !closing_ && settings.autofsb_enable)
        timer->start();
    Session::AutoFsbRunEnded(result);
    ShowTrayHint();
}

void TMain::show_fsb(int fsb) {
    ShowFsb(fsb);
}

void TMain::show_vcore(double v) {
    ShowVcore(v);
}

void TMain::show_vdimm(double v) {
    ShowVdimm(v);
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
