// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFSB in the window on the simulated board: the switch and its refusals, the timers'
// runs as the main tab shows them, and the sensor tick's over-temperature arming.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "automation/cpuload.h"
#include "automation/presets.h"
#include "gui/main_window.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "helpers/window_world.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

class AutoFsbTab : public ::testing::Test, protected WindowWorld {
  protected:
    AutoFsbTab() {
        presets_reset_state();
        clock.now = 1000;
        machine.set_cpu_load(0);
        install_port_backend(&machine);
        write_file("sensor.ini", "[Sensormap]\r\n7=1:0,1:2,1:0,1:1,1:5,1:3,1:4,1:0,1:1,1:2\r\n");
    }
    ~AutoFsbTab() override {
        main.reset();
        install_port_backend(nullptr);
        presets_reset_state();
    }
    void start(const std::string& autofsb) {
        configfile_reset();
        write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n\r\n[AutoFSB]\r\n" + autofsb);
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        cpuload_stop();  // the test sets the load itself
    }
    std::string status() { return main->StatusBar1->currentMessage().toStdString(); }
    std::string log() { return read_file("velmora.deb"); }
    bool on() { return main->TimerAutoFSBmax->isActive() && main->TimerAutoFSBmin->isActive(); }

    SimMachine machine{*sim_profile(7)};
    std::unique_ptr<TMain> main;
};

TEST_F(AutoFsbTab, LimitsThatCannotWorkAreRefusedAndLeaveBothSwitchesOff) {
    const struct {
        const char* config;
        std::function<void(TMain&)> change;  // in memory, after the start
        bool from_tray;
        const char* message;
    } cases[] = {
        {"MinFSB=166\r\nMaxFSB=166\r\n", nullptr, false, "Set min. and max. FSB first."},
        {"MinFSB=150\r\nMaxFSB=170\r\n", [](TMain& m) { m.settings.min_fsb = 180; }, true,
         "Min. FSB > Max. FSB doesn't work..."},
        // A stored MaxLoad of 20 stays 20 in memory while its spin edit shows 50.
        {"MinFSB=150\r\nMaxFSB=170\r\nMaxLoad=20\r\nMinLoad=30\r\n", nullptr, false,
         "Min. load >= Max. load doesn't work..."},
        // At start-up the stored switch is refused the same way, with one message.
        {"Enable=1\r\nMinFSB=150\r\nMaxFSB=170\r\nMaxLoad=30\r\nMinLoad=30\r\n", nullptr, false,
         "Min. load >= Max. load doesn't work..."},
    };
    for (const auto& c : cases) {
        prompts.messages.clear();
        start(c.config);
        if (c.change)
            c.change(*main);
        if (!main->autofsb_group.CheckBoxAutoFSB->isChecked() && prompts.messages.empty()) {
            if (c.from_tray)
                main->tray.TrayAutoFSB->trigger();
            else
                main->autofsb_group.CheckBoxAutoFSB->setChecked(true);
        }
        EXPECT_EQ(prompts.messages, std::vector<std::string>{c.message}) << c.config;
        EXPECT_FALSE(main->autofsb_group.CheckBoxAutoFSB->isChecked()) << c.config;
        EXPECT_FALSE(main->tray.TrayAutoFSB->isChecked()) << c.config;
        EXPECT_FALSE(on()) << c.config;
        EXPECT_TRUE(main->main_tab.TrackBarFSB->isEnabled()) << c.config;
        EXPECT_EQ(main->settings.autofsb_enable, 0) << c.config;
        main.reset();
    }
    EXPECT_EQ(log().find("AutoFSB enabled"), std::string::npos);
}

TEST_F(AutoFsbTab, TheBoxSwitchesOnAndTheTrayItemOffEvenWithTheBoxChecked) {
    start("MinFSB=166\r\nMaxFSB=170\r\nMaxDelay=20\r\n");
    main->autofsb_group.CheckBoxAutoFSB->setChecked(true);
    EXPECT_TRUE(on());
    EXPECT_EQ(main->TimerAutoFSBmax->interval(), 20000);
    EXPECT_TRUE(main->tray.TrayAutoFSB->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{
             main->main_tab.TrackBarFSB, main->main_tab.TrackBarVcore, main->main_tab.TrackBarVdimm,
             main->autofsb_group.ButtonMaxFSB, main->autofsb_group.ButtonPresetAdd})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(status(), "AutoFSB enabled.");
    EXPECT_EQ(main->settings.autofsb_enable, 1);

    main->tray.TrayAutoFSB->trigger();
    EXPECT_FALSE(on());
    EXPECT_FALSE(main->autofsb_group.CheckBoxAutoFSB->isChecked());
    EXPECT_FALSE(main->tray.TrayAutoFSB->isChecked());
    EXPECT_TRUE(main->main_tab.TrackBarFSB->isEnabled());
    EXPECT_TRUE(main->autofsb_group.ButtonMinFSB->isEnabled());
    EXPECT_EQ(status(), "AutoFSB disabled.");
    EXPECT_EQ(main->settings.autofsb_enable, 0);
    const std::string text = log();
    EXPECT_NE(text.find("VELMORA: AutoFSB enabled\nVELMORA: AutoFSB disabled\n"), std::string::npos)
        << text;
    EXPECT_TRUE(prompts.messages.empty());
}

// The timers drive the session's runs, whose decisions the core's tests hold
// (SessionTick.AutoFsbRunsToItsLimitsAndAHotCpuSendsTheFsbDown): the main tab shows what a run
// set, the timer ticks again after it, a hot CPU's tick sends the FSB down, the close stops both.
TEST_F(AutoFsbTab, TimerRunsShowTheirValuesAsAppliedAndAHotCpuSendsTheFsbDown) {
    start("Enable=1\r\nMinFSB=166\r\nMaxFSB=170\r\nDelayChange=2500\r\n");
    ASSERT_TRUE(on()) << log();
    preset_add({168, 1.7, 2.63});
    cpu_load.store(95);
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);  // arms
    EXPECT_EQ(status(), "AutoFSB run done.");
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);  // runs
    EXPECT_TRUE(main->TimerAutoFSBmax->isActive());
    EXPECT_EQ(main->main_tab.EditFSB->text(), "170 MHz");
    EXPECT_EQ(main->main_tab.EditVCore->text(), "1.700 V");
    EXPECT_EQ(main->main_tab.EditVdimm->text(), "2.63 V");

    cpu_load.store(50);
    machine.world().cpu_temp_c = 70.0;
    main->UpdateSensor(main->Timer1);
    EXPECT_EQ(status(), "AutoFSB: max. CPU temp reached");
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmin);
    EXPECT_EQ(main->main_tab.EditFSB->text(), "166 MHz");
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 166.0);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();

    main->close();
    EXPECT_FALSE(main->TimerAutoFSBmax->isActive());
    EXPECT_FALSE(main->TimerAutoFSBmin->isActive());
}

// The timers tick at the stored delays, defaults included; a switch-on without a CPU
// temperature says once that the ceiling is not watched; a reload of the settings (Reset)
// keeps the switch as it is, so the close saves what runs.
TEST_F(AutoFsbTab, TheTimersTakeTheDelaysAndTheSwitchOutlivesAReload) {
    start("MinFSB=166\r\nMaxFSB=170\r\nMinDelay=45\r\n");
    EXPECT_EQ(main->TimerAutoFSBmax->interval(), 15000);
    EXPECT_EQ(main->TimerAutoFSBmin->interval(), 45000);
    main->sensor_map.bytes[0] = 0;  // CPU unmapped
    const char* warning = "VELMORA: AutoFSB: no CPU temperature mapped, MaxTemp not watched\n";
    for (int round = 0; round < 2; ++round) {
        main->autofsb_group.CheckBoxAutoFSB->setChecked(true);
        if (round == 0) {
            EXPECT_EQ(status(),
                      "AutoFSB enabled; no CPU temperature mapped, max. CPU temp. not "
                      "watched.");
        }
        main->autofsb_group.CheckBoxAutoFSB->setChecked(false);
    }
    const std::string text = log();
    EXPECT_NE(text.find(warning), std::string::npos);
    EXPECT_EQ(text.find(warning), text.rfind(warning));

    main->autofsb_group.CheckBoxAutoFSB->setChecked(true);
    main->main_tab.Reset(main->main_tab.ButtonReset);
    EXPECT_EQ(main->settings.autofsb_enable, 1);
    EXPECT_TRUE(on());
    main->close();
    EXPECT_NE(read_file("config.ini").find("Enable=1"), std::string::npos);
}

}  // namespace
