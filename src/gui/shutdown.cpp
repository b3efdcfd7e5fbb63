// SPDX-License-Identifier: GPL-2.0-or-later
// The window's close (Session::Close runs it) and Reset: the timers stop, the choices its boxes
// hold are saved, and the values found at start-up go back into the controls.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QSpinBox>
#include <QTimer>

#include "app/main_settings.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"

// The choices the window's boxes hold, into what the close saves.
void TMain::keep_choices(SavedSettings& saved) {
    saved.main.reset = settings_tab.CheckBoxReset->isChecked() ? 1 : 0;
    saved.main.minimized = settings_tab.CheckBoxMinimized->isChecked() ? 1 : 0;
    saved.main.down_mt = autofsb_group.CheckBoxTemp->isChecked() ? 1 : 0;
    saved.main.update = sensor_tab.CSpinEditSensorUpdate->value();
    saved.main.port80 = sensor_tab.CheckBoxPort80->isChecked() ? 1 : 0;
    saved.main.port80_type = sensor_tab.ComboBoxPort80->currentIndex() == 1 ? 1 : 0;
    saved.main.autofan_enable = autofan_group.CheckBoxFANCtl->isChecked() ? 1 : 0;
    // Without a board the limits were never shown: what config.ini held stays.
    if (board_number != NO_BOARD) {
        saved.main.cpu_limit = sensor_tab.CSpinEditCpuLimit->value();
        saved.main.sys_limit = sensor_tab.CSpinEditSysLimit->value();
    }
    if (history_tab.settings_shown())
        saved.main.csv_file = history_tab.CsvFileSetting();
    saved.chipset_load = chipset_tab.CheckBoxChipset->isChecked() ? 1 : 0;
}

// Runs once, whichever way the window is closed (close box, Exit, tray menu, end of session).
void TMain::CloseFunc(QObject*) {
    Close();
}

void TMain::stop_timers() {
    StopSensorTimer();
    TimerAutoFSBmax->stop();
    TimerAutoFSBmin->stop();
}

bool TMain::reset_at_close() {
    return settings_tab.CheckBoxReset->isChecked();
}

void TMain::Exit(QObject*) {
    // A window hidden in the tray does not end the loop by closing.
    if (close())
        QCoreApplication::quit();
}

// The values found at start-up back into the controls; nothing is written to the board.
void MainTab::Reset(QObject* sender) {
    if (window_.EndAutoFsbRunFirst([this, sender] { Reset(sender); }))
        return;
    window_.InitValues(false);
    FillMainTab();
}
