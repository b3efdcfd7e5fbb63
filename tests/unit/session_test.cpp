// SPDX-License-Identifier: GPL-2.0-or-later
// The session's sensor tick without a window, on the simulated Epox: what it tells its view and
// what it puts on the board.
#include "app/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "automation/autofan.h"
#include "automation/cpuload.h"
#include "automation/presets.h"
#include "helpers/kernel_mode.h"
#include "helpers/recording_view.h"
#include "helpers/window_world.h"
#include "hw/port_access.h"
#include "sensors/sensor.h"
#include "sim/post_display.h"
#include "sim/sim_machine.h"

namespace {

class SessionTick : public WindowWorld, public testing::TestWithParam<bool> {
  protected:
    SessionTick() {
        // The user's map of which reading is which: the CPU's is the Winbond's first.
        write_file("sensor.ini", "[Sensormap]\r\n7=1:0,1:2,1:0,1:1,1:5,1:3,1:4,1:0,1:1,1:2\r\n");
        install_port_backend(&machine);
        kernel = std::make_unique<KernelMode>(machine, GetParam());
        EXPECT_TRUE(session.ReadBoard(true));
        session.sensor_count = sensors_detect(&sensor_table());
    }
    ~SessionTick() override {
        kernel.reset();
        install_port_backend(nullptr);
    }

    SimMachine machine{*sim_profile(7)};
    std::unique_ptr<KernelMode> kernel;
    RecordingView view;
    Session session{prompts, view, {}};
};

TEST_P(SessionTick, AnAlarmIsToldOnceAndClearedBelowItsLimitAndTheHistoryStartsOnce) {
    view.switches.cpu_limit = 30;  // the simulated CPU runs near 40 °C
    session.SensorCycle(true);
    session.SensorCycle(true);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_EQ(view.told[0], "0 CPU temperature " + std::to_string(session.cpu_temperature) +
                                " \u00B0C is above its limit of 30 \u00B0C");
    view.switches.cpu_limit = 60;
    session.SensorCycle(true);
    EXPECT_EQ(view.told.back(), "0 cleared");
    EXPECT_EQ(view.history_starts, 1);
    EXPECT_EQ(session.history->size(), 3);
}

TEST_P(SessionTick, ThePort80DisplayShowsTheChosenTemperatureOnlyWhenSwitchedOn) {
    const uint8_t before = machine.port80().last();
    session.SensorCycle(true);
    EXPECT_EQ(machine.port80().last(), before);
    view.switches.port80 = true;
    session.SensorCycle(true);
    ASSERT_TRUE(session.cpu_temperature_known);
    const int t = session.cpu_temperature;
    EXPECT_EQ(machine.port80().last(), (t % 10) | ((t / 10) << 4));
    EXPECT_TRUE(machine.world().faults.empty());
}

// A run that could not set its core voltage leaves the session knowing it: an Apply of a higher
// FSB afterwards sets the core voltage again before the clock rises on it.
TEST_P(SessionTick, AfterARunThatCouldNotSetTheCoreVoltageApplySetsItBeforeTheFsbRises) {
    struct Restore {
        ~Restore() { presets_reset_state(); }
    } restore;
    preset_add({170, 2.21, 2.77});  // a core voltage the Epox cannot set
    session.settings.min_fsb = 166;
    session.settings.max_fsb = 170;
    session.settings.autofsb_enable = 1;
    session.SensorCycle(true);  // the CPU temperature, below the ceiling
    session.AutoFsbInputs();
    session.autofsb.load = 95;
    session.autofsb.up_armed = 1;
    const int result = session.AutoFsbRun();
    ASSERT_EQ(result, AUTOFSB_VCORE_FAILED);
    session.AutoFsbRunEnded(result);
    EXPECT_EQ(view.told.back(), "FSB not raised: the core voltage was not set.");
    session.values_selected.fsb = 168;
    const size_t before = read_file("velmora.deb").size();
    session.ApplySteps();
    const std::string log = read_file("velmora.deb").substr(before);
    const size_t vcore = log.find("VELMORA: Setting Vcore to 1.650 done\n");
    ASSERT_NE(vcore, std::string::npos) << log;
    EXPECT_LT(vcore, log.find("VELMORA: Setting FSB to 168 done"));
    EXPECT_TRUE(machine.world().faults.empty());
}

// Only a tick of the update period steps AutoFAN; switched off, the fan it drove runs at full
// speed and a tick leaves it there, and a fan it does not drive is never touched.
TEST_P(SessionTick, AutoFanStepsOnTimerTicksOnlyAndSwitchedOffLeavesItsFanFull) {
    write_file(kAutoFanFile, "[ID1.0]\r\nenabled=1\r\nduty_min=60\r\nduty_max=60\r\n");
    ASSERT_TRUE(session.FindFans());
    const auto winbond = [this](uint8_t r) {  // a bank-0 register
        machine.out8(0x295, 0x4E);
        machine.out8(0x296, 0x00);
        machine.out8(0x295, r);
        return machine.in8(0x296);
    };
    const uint8_t fan2 = winbond(0x5B);
    view.switches.autofan = true;
    session.SensorCycle(false);
    EXPECT_NE(winbond(0x5A), 60);
    session.SensorCycle(true);
    EXPECT_EQ(winbond(0x5A), 60);
    view.switches.autofan = false;
    session.AutoFanSwitchedOff();
    EXPECT_EQ(winbond(0x5A), 0xFF);
    session.SensorCycle(true);
    EXPECT_EQ(winbond(0x5A), 0xFF);
    EXPECT_EQ(winbond(0x5B), fan2);
}

// One tick of AutoFSB's up (or down) timer, as the window's timers run it: the inputs, the check,
// the run when one is due, and what it leaves.
int autofsb_tick(Session& session, bool up) {
    session.AutoFsbInputs();
    int result = AUTOFSB_NO_RUN;
    if (session.AutoFsbDue(up)) {
        result = session.AutoFsbRun();
        session.autofsb_run_active = false;
    }
    session.AutoFsbRunEnded(result);
    return result;
}

// At a high load the up timer's first tick arms and the next runs to the maximum with the
// preset's voltages, taken as applied and shown; an FSB the board cannot run ends the run there
// and says so. At the ceiling temperature nothing is armed; past it the sensor tick arms the way
// down, which the down timer's tick runs.
TEST_P(SessionTick, AutoFsbRunsToItsLimitsAndAHotCpuSendsTheFsbDown) {
    struct Restore {
        ~Restore() {
            presets_reset_state();
            cpu_load.store(0);
        }
    } restore;
    session.settings.min_fsb = 166;
    session.settings.max_fsb = 170;
    session.settings.delay_change = 2500;
    session.settings.autofsb_enable = 1;
    view.switches.down_on_temperature = true;
    preset_add({168, 1.7, 2.63});
    cpu_load.store(95);
    session.SensorCycle(true);
    EXPECT_EQ(autofsb_tick(session, true), AUTOFSB_NO_RUN);  // arms
    EXPECT_EQ(session.values_applied.fsb, 166);
    EXPECT_EQ(view.told.back(), "AutoFSB run done.");
    EXPECT_EQ(autofsb_tick(session, true), AUTOFSB_RUN_DONE);
    EXPECT_EQ(session.values_applied.fsb, 170);
    EXPECT_EQ(session.values_selected.fsb, 170);
    EXPECT_EQ(view.shown_fsb, 170);
    EXPECT_DOUBLE_EQ(session.values_applied.vcore, 1.7);
    EXPECT_DOUBLE_EQ(session.values_selected.vcore, 1.7);
    EXPECT_DOUBLE_EQ(view.shown_vcore, 1.7);
    EXPECT_DOUBLE_EQ(session.values_applied.vdimm, 2.63);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 170.0);
    EXPECT_EQ(std::count(clock.sleeps.begin(), clock.sleeps.end(), 2500u), 3);
    EXPECT_EQ(view.told.back(), "AutoFSB run done.");

    session.settings.max_fsb = 310;
    preset_add({305, 1.7, 2.63});
    autofsb_tick(session, true);
    EXPECT_EQ(autofsb_tick(session, true), AUTOFSB_FSB_FAILED);
    EXPECT_EQ(view.told.back(), "FSB setting failed, try another value.");
    EXPECT_EQ(session.values_applied.fsb, 170);

    cpu_load.store(50);
    const auto log_size = [] { return read_file("velmora.deb").size(); };
    machine.world().cpu_temp_c = session.settings.max_temp;
    const size_t before = log_size();
    session.SensorCycle(true);
    ASSERT_EQ(session.cpu_temperature, session.settings.max_temp);
    EXPECT_EQ(read_file("velmora.deb").find("max. CPU temp reached", before), std::string::npos);
    machine.world().cpu_temp_c = 70.0;
    session.SensorCycle(true);
    ASSERT_GT(session.cpu_temperature, session.settings.max_temp);
    EXPECT_EQ(view.told.back(), "AutoFSB: max. CPU temp reached");
    EXPECT_NE(read_file("velmora.deb").find("VELMORA: AutoFSB: max. CPU temp reached\n", before),
              std::string::npos);
    EXPECT_EQ(autofsb_tick(session, false), AUTOFSB_RUN_DONE);
    EXPECT_EQ(session.values_applied.fsb, 166);
    EXPECT_EQ(view.shown_fsb, 166);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 166.0);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
}

INSTANTIATE_TEST_SUITE_P(BothWays, SessionTick, testing::Bool(), kernel_mode_name);

}  // namespace
