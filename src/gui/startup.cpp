// SPDX-License-Identifier: GPL-2.0-or-later
// The start-up of TMain: the order in which velmora comes up, and what it does when a step
// fails.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

#include "app/command_line.h"
#include "app/long_options.h"
#include "app/prompts.h"
#include "automation/cpuload.h"
#include "diag/debuglog.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"
#include "hw/port_io.h"
#include "platform/platform.h"

void TMain::Startup() {
    const Started started = Start();
    if (started == Started::Ended)
        return;
    // A read-out prints what the start read and ends before anything could be written.
    const bool read_out = has_flag(args_, "--read");
    if (started == Started::WithBoard) {
        if (read_out) {
            ReadOut(true);
            return;
        }
        StartServices();
        // The settings shown on the way set status texts of their own: say again which
        // board this is.
        if (!notes_.simulated_board.empty())
            StatusBar1->showMessage(settings_tab.LabelBoardSource->text());
    } else {
        if (read_out) {
            ReadOut(false);
            return;
        }
        ShowWithoutBoard();
    }
    command_line_consumed = true;
}

// The loaded settings in their controls, in this order. Setting a spin edit raises its change
// handler only when the shown value changes; a list's index raises nothing.
void TMain::ShowSettings() {
    settings_tab.CheckBoxReset->setChecked(settings.reset > 0);
    settings_tab.CheckBoxMinimized->setChecked(settings.minimized != 0);
    settings_tab.CSpinEditLoadUpdate->setValue(settings.load_update);
    const int32_t update = validated_update(settings.update);
    sensor_tab.CSpinEditSensorUpdate->setValue(update);
    sensor_tab.CheckBoxPort80->setChecked(settings.port80 != 0);
    sensor_tab.ComboBoxPort80->setCurrentIndex(settings.port80_type);
    autofan_group.CheckBoxFANCtl->setChecked(settings.autofan_enable != 0);
    sensor_tab.CSpinEditCpuLimit->setValue(settings.cpu_limit);
    sensor_tab.CSpinEditSysLimit->setValue(settings.sys_limit);
    autofsb_group.CheckBoxTemp->setChecked(settings.down_mt > 0);
    autofsb_group.EditMaxFSB->setText(format_whole(settings.max_fsb) + " MHz");
    autofsb_group.EditMinFSB->setText(format_whole(settings.min_fsb) + " MHz");
    autofsb_group.CSpinEditMaxLoad->setValue(settings.max_load);
    autofsb_group.CSpinEditMinLoad->setValue(settings.min_load);
    autofsb_group.CSpinEditDelayMax->setValue(settings.max_delay);
    autofsb_group.CSpinEditDelayMin->setValue(settings.min_delay);
    // A value the box already showed raises no change: the timers take theirs here too.
    TimerAutoFSBmax->setInterval(settings.max_delay * 1000);
    TimerAutoFSBmin->setInterval(settings.min_delay * 1000);
    const int32_t delay = settings.delay_change;
    autofsb_group.ComboBoxDelayChange->setCurrentIndex(delay == 1000 ? 1 : delay == 2500 ? 2 : 0);
    autofsb_group.CSpinEditMaxTemp->setValue(settings.max_temp);

    main_tab.DisplayMhz->setText(format_rounded(values_applied.fsb * cpu_multiplier));
    main_tab.ComboBoxTras->setCurrentIndex(values_read.tras - 1);
    main_tab.ComboBoxTrcd->setCurrentIndex(values_read.trcd - 1);
    main_tab.ComboBoxTrp->setCurrentIndex(values_read.trp - 1);
    main_tab.CheckBoxAutoPC->setChecked(chipset.auto_precharge != 0);
}

void TMain::StartServices() {
    if (!args_.empty() && ParseCommandLine()) {
        // Settings given on the command line are applied and the program ends: no window,
        // nothing saved.
        current_platform().exit_process(SettingRunExitCode());
        return;
    }
    main_tab.FillMainTab();
    if (!tray.TrayIcon1->isVisible() && !tray.ShowTrayIcon())
        debug_print("VELMORA: Trayicon not available\n");

    DetectSensors();
    // Without fan controls the AutoFAN group offers nothing.
    autofan_group.ShowFansFound(FindFans());
    // A later pass only retunes the running sampler.
    cpuload_start(cpu_load, settings.load_update);

    if (TakeMultiplierOption())
        main_tab.ShowCpuClock();
    if (settings.autofsb_enable != 0) {
        autofsb_group.CheckBoxAutoFSB->setChecked(true);
        autofsb_group.EnableAutoFSB();
    }
    autofsb_switch_set_ = true;
    if (settings_tab.CheckBoxMinimized->isChecked()) {
        tray.MinimizeToTray();
        setWindowState(windowState() | Qt::WindowMinimized);
    }
    chipset_tab.Chipset();
}

// Without a board only "Settings", where a board can be picked, and "About" stay.
// The window title says the board is simulated for as long as the window is open; the
// status bar's note gives way to the next status text.
QString TMain::SimulatedTitleSuffix() const {
    if (notes_.simulated_profile < 0)
        return {};
    return QString(" (simulated board, profile %1)").arg(notes_.simulated_profile);
}

void TMain::ShowWithoutBoard() {
    setWindowTitle("velmora" + SimulatedTitleSuffix());
    {
        const QSignalBlocker quiet(PageControl1);
        for (QWidget* sheet : {TabSheet1, TabSheet2, TabSheet4})
            PageControl1->setTabVisible(PageControl1->indexOf(sheet), false);
    }
    if (PageControl1->currentWidget() == TabSheet3) {
        settings_tab.CreateBoardList();
    } else {
        PageControl1->setCurrentWidget(TabSheet3);
    }
}
