// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFAN in the window on the simulated Winbond board: a tick drives the fan, the tab edits
// and saves the settings, the tray item follows the check box, the close leaves full speed.
#include <gtest/gtest.h>

#include <QSystemTrayIcon>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <memory>

#include "automation/autofan.h"
#include "automation/cpuload.h"
#include "gui/main_window.h"
#include "helpers/kernel_mode.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "helpers/window_world.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

class AutoFanWindow : public ::testing::TestWithParam<bool>, protected WindowWorld {
  protected:
    AutoFanWindow() {
        clock.now = 1000;
        machine.set_cpu_load(0);
        install_port_backend(&machine);
        write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n[AutoFAN]\r\nEnable=1\r\n");
        write_file("sensor.ini", "[Sensormap]\r\n7=1:0,1:2,1:0,1:1,1:5,1:3,1:4,1:0,1:1,1:2\r\n");
        // PWM control 0 (entry 1 of the W83627HF) at a fixed duty for any temperature.
        write_file(kAutoFanFile, "[ID1.0]\r\nenabled=1\r\nduty_min=60\r\nduty_max=60\r\n");
    }
    ~AutoFanWindow() override {
        main.reset();
        EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
        kernel.reset();
        install_port_backend(nullptr);
    }
    void start() {
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        cpuload_stop();
    }
    // A bank-0 register of the Winbond chip, read as from outside the program.
    uint8_t reg(uint8_t r) {
        machine.kernel_out(0x295, 1, 0x4E);
        machine.kernel_out(0x296, 1, 0x00);
        machine.kernel_out(0x295, 1, r);
        return static_cast<uint8_t>(machine.kernel_in(0x296, 1));
    }
    std::string log() { return read_file("velmora.deb"); }

    SimMachine machine{*sim_profile(7)};
    // Through the ports, or through the kernel's drivers as velmora's start finds them.
    std::unique_ptr<KernelMode> kernel = std::make_unique<KernelMode>(machine, GetParam(), false);
    std::unique_ptr<TMain> main;
};

TEST_P(AutoFanWindow, ATickDrivesTheFanTheTabSavesAndTheCloseLeavesFullSpeed) {
    start();
    EXPECT_NE(log().find("AUTOFAN: Found fan control 0\nAUTOFAN: Found fan control 1\n"
                         "AUTOFAN: Loaded 3 settings\n"),
              std::string::npos)
        << log();
    EXPECT_EQ(log().find("Hardware monitor at 0x295: driver w83627hf, through "
                         "/sys/class/hwmon/hwmon0\n") != std::string::npos,
              GetParam());
    EXPECT_TRUE(main->autofan_group.ButtonFANSet->isEnabled());
    EXPECT_TRUE(main->tray.TrayAutoFan->isChecked());  // follows the stored check box

    // Only a tick of Timer1 steps the fans.
    const uint8_t fan2 = reg(0x5B);
    main->UpdateSensor(nullptr);
    EXPECT_NE(reg(0x5A), 60);
    main->UpdateSensor(main->Timer1);
    EXPECT_EQ(reg(0x5A), 60);
    EXPECT_EQ(reg(0x5B), fan2);  // its entry is disabled

    // Switched off from the tray, its fan runs at full speed and a tick leaves it there.
    main->tray.TrayAutoFan->trigger();
    EXPECT_FALSE(main->autofan_group.CheckBoxFANCtl->isChecked());
    EXPECT_EQ(reg(0x5A), 0xFF);
    EXPECT_EQ(reg(0x5B), fan2);
    main->autofan_list->entries[1].duty_min = main->autofan_list->entries[1].duty_max = 90;
    main->UpdateSensor(main->Timer1);
    EXPECT_EQ(reg(0x5A), 0xFF);
    main->autofan_group.CheckBoxFANCtl->setChecked(true);
    EXPECT_TRUE(main->tray.TrayAutoFan->isChecked());

    // The tab shows control 0 first; control 1 is the enabled one with the chip's duty.
    main->PageControl1->setCurrentWidget(main->TabSheet2);
    EXPECT_EQ(main->autofan_group.CSpinEditCtlFAN->maximum(), 1);
    EXPECT_EQ(main->autofan_group.CSpinEditCtlFAN->value(), 0);
    EXPECT_FALSE(main->autofan_group.CheckBoxFanEnable->isChecked());
    EXPECT_EQ(main->autofan_group.LabelFanDuty->text(), QString::number(fan2));
    main->autofan_group.CSpinEditCtlFAN->setValue(1);
    EXPECT_TRUE(main->autofan_group.CheckBoxFanEnable->isChecked());
    EXPECT_EQ(main->autofan_group.CSpinEditFanmax->value(), 90);
    EXPECT_EQ(main->autofan_group.LabelFanDuty->text(), "255");

    // A maximum below the minimum pulls the minimum down before both are stored and saved.
    main->autofan_group.CSpinEditFanmax->setValue(100);
    main->autofan_group.CSpinEditFanmin->setValue(150);
    main->autofan_group.ButtonFANSet->click();
    EXPECT_EQ(main->autofan_group.CSpinEditFanmin->value(), 100);
    const std::string saved = read_file(kAutoFanFile);
    EXPECT_NE(saved.find("enabled=1\r\nduty_min=100\r\nduty_max=100\r\n"), std::string::npos)
        << saved;
    EXPECT_NE(saved.find("[ID1.1]\r\n"), std::string::npos) << saved;
    main->UpdateSensor(main->Timer1);
    EXPECT_EQ(reg(0x5A), 100);
    // Each box reaches both ends of its range (moved past them, as a held arrow key goes).
    for (int end : {0, 1}) {
        for (QSpinBox* box :
             {main->autofan_group.CSpinEditFanTmax, main->autofan_group.CSpinEditFanTmin,
              main->autofan_group.CSpinEditFanmax, main->autofan_group.CSpinEditFanmin})
            box->setValue(end ? box->value() + 300 : -1);
        main->autofan_group.ButtonFANSet->click();
        EXPECT_NE(read_file(kAutoFanFile)
                      .find(end ? "[ID1.0]\r\ntemp_max=80\r\ntemp_min=60\r\nauto_adjust=0\r\n"
                                  "enabled=1\r\nduty_min=255\r\nduty_max=255\r\n"
                                : "[ID1.0]\r\ntemp_max=0\r\ntemp_min=0\r\nauto_adjust=0\r\n"
                                  "enabled=1\r\nduty_min=0\r\nduty_max=0\r\n"),
                  std::string::npos)
            << read_file(kAutoFanFile);
    }
    // Each box reaches its own key: no two of them the same.
    main->autofan_group.CSpinEditFanmax->setValue(201);
    main->autofan_group.CSpinEditFanmin->setValue(61);
    main->autofan_group.CSpinEditFanTmax->setValue(56);
    main->autofan_group.CSpinEditFanTmin->setValue(36);
    main->autofan_group.ButtonFANSet->click();
    EXPECT_NE(read_file(kAutoFanFile)
                  .find("[ID1.0]\r\ntemp_max=56\r\ntemp_min=36\r\nauto_adjust=0\r\nenabled=1\r\n"
                        "duty_min=61\r\nduty_max=201\r\n"),
              std::string::npos)
        << read_file(kAutoFanFile);

    main->close();
    EXPECT_EQ(reg(0x5A), 0xFF);
    EXPECT_EQ(reg(0x5B), 0xFF);
    EXPECT_EQ(main->autofan_list->entries[1].duty_max, 201);
}

// "Set" keeps a stored temperature past a box's usual range, and writes every entry in the
// file's layout (compared with a file kept in the sources).
TEST_P(AutoFanWindow, SetKeepsTemperaturesPastTheBoxesAndWritesTheFilesLayout) {
    write_file(kAutoFanFile,
               "[ID1.0]\r\nenabled=1\r\nduty_min=60\r\nduty_max=60\r\n"
               "[ID1.1]\r\ntemp_max=95\r\ntemp_min=70\r\n");
    start();
    main->PageControl1->setCurrentWidget(main->TabSheet2);
    main->autofan_group.CSpinEditCtlFAN->setValue(0);  // entry 0 is control 1 of the chip
    EXPECT_EQ(main->autofan_group.CSpinEditFanTmax->value(), 95);
    EXPECT_EQ(main->autofan_group.CSpinEditFanTmin->value(), 70);
    main->autofan_group.ButtonFANSet->click();
    EXPECT_EQ(read_file(kAutoFanFile),
              read_file(std::string(VELMORA_GOLDEN_DIR) + "/autofan_after_set.ini"));
}

// A CPU item no longer mapped shows "NA" and its temperature is unknown: AutoFAN runs its fan
// at full speed, the tray says "NA" and no AutoFSB up-run arms on it.
TEST_P(AutoFanWindow, AnUnmappedCpuItemShowsNaAndRunsTheFansFull) {
    write_file("config.ini",
               "\r\n[Main]\r\nBoard=7\r\n[AutoFAN]\r\nEnable=1\r\n[AutoFSB]\r\n"
               "MinFSB=166\r\nMaxFSB=180\r\n");
    start();
    main->UpdateSensor(main->Timer1);
    ASSERT_EQ(reg(0x5A), 60);
    main->sensor_map.bytes[0] = SENSOR_NONE;
    main->UpdateSensor(main->Timer1);
    EXPECT_EQ(main->main_tab.SensorTemp->text(), "NA");
    EXPECT_EQ(main->tray.TrayIcon1->toolTip().left(8), "CPU: NA\n");
    EXPECT_EQ(reg(0x5A), 0xFF);
    cpu_load.store(95);
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
    EXPECT_EQ(log().find("AUTOFSB: first time max. load reached"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothWays, AutoFanWindow, testing::Bool(), kernel_mode_name);

}  // namespace
