// SPDX-License-Identifier: GPL-2.0-or-later
// How a run ends: the settings are saved and, when asked, the values found at start-up are
// written back to the board.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QSpinBox>
#include <QTimer>

#include "app/main_settings.h"
#include "diag/debuglog.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "platform/clock.h"

namespace {
constexpr uint32_t kResetPauseMs = 200;
}

// The choices the window's boxes hold, into what the close saves.
void TMain::keep_choices(SavedSettings& saved) {
    saved.main.reset = CheckBoxReset->isChecked() ? 1 : 0;
    saved.main.minimized = CheckBoxMinimized->isChecked() ? 1 : 0;
    saved.main.down_mt = CheckBoxTemp->isChecked() ? 1 : 0;
    saved.main.update = CSpinEditSensorUpdate->value();
    saved.main.port80 = CheckBoxPort80->isChecked() ? 1 : 0;
    saved.main.port80_type = ComboBoxPort80->currentIndex() == 1 ? 1 : 0;
    saved.main.autofan_enable = CheckBoxFANCtl->isChecked() ? 1 : 0;
    // Without a board the limits were never shown: what config.ini held stays.
    if (board_number != NO_BOARD) {
        saved.main.cpu_limit = CSpinEditCpuLimit->value();
        saved.main.sys_limit = CSpinEditSysLimit->value();
    }
    if (history_settings_shown_)
        saved.main.csv_file = CsvFileSetting();
    saved.chipset_load = CheckBoxChipset->isChecked() ? 1 : 0;
}

// Runs once, whichever way the window is closed (close box, Exit, tray menu, end of session).
void TMain::CloseFunc(QObject* sender) {
    if (closing_)
        return;
    closing_ = true;
    // No tick may run inside the close's dialogs and undo the values it leaves.
    StopSensorTimer();
    TimerAutoFSBmax->stop();
    TimerAutoFSBmin->stop();
    SaveSettings();
    LeaveSensorsSafe();
    if (CheckBoxReset->isChecked()) {
        debug_print("VELMORA: CloseFunc(): reseting all values\n");
        // The window is going: the values go back to their end before it does.
        steps_->set_stepping(false);
        current_clock().sleep_ms(kResetPauseMs);
        InitValues(false);
        Apply(sender);
    }
}

void TMain::Exit(QObject*) {
    // A window hidden in the tray does not end the loop by closing.
    if (close())
        QCoreApplication::quit();
}

// The values found at start-up back into the controls; nothing is written to the board.
void TMain::Reset(QObject* sender) {
    if (EndAutoFsbRunFirst(&TMain::Reset, sender))
        return;
    InitValues(false);
    FillMainTab();
}
