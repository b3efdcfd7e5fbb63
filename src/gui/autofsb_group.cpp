// SPDX-License-Identifier: GPL-2.0-or-later
// The AutoFSB group in the window: the switch (check box and tray item), the two timers that
// drive the session's engine (app/autofsb_tick.cpp), and the limits and timing it takes from its
// controls into memory (and so into config.ini at close).
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <initializer_list>
#include <memory>

#include "app/prompts.h"
#include "automation/autofsb.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"

namespace {
constexpr int kFsbOfPositionZero = 300;
constexpr int kLoadGap = 5;                         // max and min load stay this far apart
constexpr int32_t kStepDelays[] = {0, 1000, 2500};  // "Fast", "Medium", "Slow", in ms
}  // namespace
#include "gui/up_down.h"

// A request to switch on is a click that leaves the box checked, or a tray click, while
// AutoFSB is off; while it is on, every click but the nested one of the box switches it off.
// Checking or unchecking the box from code raises this handler again: the timers are started
// before the box is checked and stopped before it is unchecked, so that call finds nothing
// to do.
void AutoFsbGroup::EnableAutoFSB(QObject* sender) {
    const bool running = window_.TimerAutoFSBmax->isActive();
    const bool from_tray = sender == window_.tray.TrayAutoFSB;
    if (!running && (from_tray || CheckBoxAutoFSB->isChecked())) {
        if (const char* refusal = window_.AutoFsbRefusal()) {
            window_.prompts_.show_message(refusal);
            CheckBoxAutoFSB->setChecked(false);
            window_.tray.TrayAutoFSB->setChecked(false);
            CheckBoxAutoFSB->setEnabled(true);
            window_.tray.TrayAutoFSB->setEnabled(true);
            window_.settings.autofsb_enable = 0;
            return;
        }
        // The FSB and the voltages it drives show what is applied and are AutoFSB's alone.
        window_.main_tab.TrackBarVcore->setEnabled(false);
        window_.main_tab.UpDownVcore->setEnabled(false);
        window_.main_tab.ShowVcore(window_.values_applied.vcore);
        window_.main_tab.TrackBarFSB->setEnabled(false);
        window_.main_tab.UpDownFSB->setEnabled(false);
        window_.main_tab.ShowFsb(window_.values_applied.fsb);
        window_.main_tab.TrackBarVdimm->setEnabled(false);
        for (QPushButton* button : {ButtonMaxFSB, ButtonMinFSB, ButtonPresetAdd, ButtonPresetDel})
            button->setEnabled(false);
        window_.TimerAutoFSBmax->start();
        window_.TimerAutoFSBmin->start();
        CheckBoxAutoFSB->setChecked(true);
        window_.tray.TrayAutoFSB->setChecked(true);
        window_.AutoFsbSwitched(true);
        return;
    }
    if (running && (from_tray || !CheckBoxAutoFSB->isChecked())) {
        for (QWidget* control : std::initializer_list<QWidget*>{
                 window_.main_tab.TrackBarVdimm, window_.main_tab.TrackBarVcore,
                 window_.main_tab.UpDownVcore, window_.main_tab.TrackBarFSB,
                 window_.main_tab.UpDownFSB, ButtonMaxFSB, ButtonMinFSB, ButtonPresetAdd,
                 ButtonPresetDel})
            control->setEnabled(true);
        window_.TimerAutoFSBmax->stop();
        window_.TimerAutoFSBmin->stop();
        // A run stepping ends after its current step.
        if (window_.autofsb_run_active)
            window_.steps_->end_action(nullptr);
        CheckBoxAutoFSB->setChecked(false);
        window_.tray.TrayAutoFSB->setChecked(false);
        window_.AutoFsbSwitched(false);
    }
}

// One tick of either timer. Skipped while another action steps (an Apply, a preset, a run):
// the hardware does one thing at a time. The timer is stopped around the check and the run,
// so that its next tick comes one whole interval after the run ended. The run's load and
// temperature are those of this tick.
void AutoFsbGroup::AutoFSB(QObject* sender) {
    if (window_.closing_ || window_.close_waiting_ ||
        window_.steps_->busy(HardwareSteps::Kind::Action))
        return;
    window_.AutoFsbInputs();
    QTimer* timer = sender == window_.TimerAutoFSBmax   ? window_.TimerAutoFSBmax
                    : sender == window_.TimerAutoFSBmin ? window_.TimerAutoFSBmin
                                                        : nullptr;
    if (!timer) {
        RunEnded(AUTOFSB_NO_RUN, nullptr, false);
        return;
    }
    const bool was_running = timer->isActive();
    timer->stop();
    if (!window_.AutoFsbDue(timer == window_.TimerAutoFSBmax)) {
        RunEnded(AUTOFSB_NO_RUN, timer, was_running);
        return;
    }
    auto result = std::make_shared<int>(AUTOFSB_NO_RUN);
    window_.steps_->start(
        HardwareSteps::Kind::Action, [this, result] { *result = window_.AutoFsbRun(); },
        [this, result, timer, was_running] {
            window_.autofsb_run_active = false;
            RunEnded(*result, timer, was_running);
        });
}

// What the run set is what the main tab shows as applied and selected.
void AutoFsbGroup::RunEnded(int result, QTimer* timer, bool restart_timer) {
    // A timer stopped meanwhile (AutoFSB switched off, the close) stays stopped.
    if (timer && restart_timer && !window_.closing_ && window_.settings.autofsb_enable)
        timer->start();
    window_.AutoFsbRunEnded(result);
    window_.tray.ShowTrayHint();
}

// An Apply, a preset, Reset, a board change: an AutoFSB run stepping ends first, after its
// current step, and the handler runs again once it has (with the FSB the run reached taken
// as applied).
bool TMain::EndAutoFsbRunFirst(std::function<void()> again) {
    if (!autofsb_run_active)
        return false;
    steps_->end_action(std::move(again));
    return true;
}

void AutoFsbGroup::SetFSBRange(QObject* sender) {
    const int32_t fsb = kFsbOfPositionZero - window_.main_tab.TrackBarFSB->value();
    if (sender == ButtonMaxFSB) {
        window_.settings.max_fsb = fsb;
        EditMaxFSB->setText(format_whole(fsb) + " MHz");
        window_.StatusBar1->showMessage("AutoFSB: max. FSB changed");
    } else if (sender == ButtonMinFSB) {
        window_.settings.min_fsb = fsb;
        EditMinFSB->setText(format_whole(fsb) + " MHz");
        window_.StatusBar1->showMessage("AutoFSB: min. FSB changed");
    }
}

void AutoFsbGroup::SetDelayChange(QObject* sender) {
    if (sender == CSpinEditDelayMax) {
        window_.settings.max_delay = CSpinEditDelayMax->value();
        window_.TimerAutoFSBmax->setInterval(window_.settings.max_delay * 1000);
    } else if (sender == CSpinEditDelayMin) {
        window_.settings.min_delay = CSpinEditDelayMin->value();
        window_.TimerAutoFSBmin->setInterval(window_.settings.min_delay * 1000);
    } else if (sender == ComboBoxDelayChange) {
        const int index = ComboBoxDelayChange->currentIndex();
        if (index >= 0 && index < 3)
            window_.settings.delay_change = kStepDelays[index];
        window_.StatusBar1->showMessage("AutoFSB: FSB in-/decrease delay changed");
    }
}

void AutoFsbGroup::SetAutoFSBload(QObject* sender) {
    if (sender == CSpinEditMaxLoad) {
        window_.settings.max_load = CSpinEditMaxLoad->value();
        CSpinEditMinLoad->setMaximum(window_.settings.max_load - kLoadGap);
        window_.StatusBar1->showMessage("AutoFSB: max. load changed");
    } else if (sender == CSpinEditMinLoad) {
        window_.settings.min_load = CSpinEditMinLoad->value();
        CSpinEditMaxLoad->setMinimum(window_.settings.min_load + kLoadGap);
        window_.StatusBar1->showMessage("AutoFSB: min load changed");
    }
}

void AutoFsbGroup::MaxTempChange(QObject*) {
    window_.settings.max_temp = CSpinEditMaxTemp->value();
}
