// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFAN without hardware: the list from a sensor table, the duty line, one update step and
// autofan.ini.
#include "automation/autofan.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "helpers/temp_dir.h"
#include "hw/port_access.h"
#include "platform/clock.h"
#include "sensors/isa_monitor.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

// A Winbond chip with two duties and two clock selects, an ITE chip with three duties and the
// software fan switch, and the port-80h display.
class AutoFan : public ::testing::Test {
  protected:
    AutoFan() {
        configfile_reset();
        autofan_reset_state();
        table.sensors[0] = {"W83627HF", SENSOR_WINBOND, 3,       7,       3,
                            4,          nullptr,        nullptr, nullptr, winbond};
        table.sensors[1] = {"ITE8712F", SENSOR_ITE, 3, 9, 3, 4, nullptr, nullptr, nullptr, ite};
        table.sensors[2] = {"PORT80", SENSOR_PORT80, 0, 0, 0, 1, nullptr, nullptr, nullptr, port80};
        table.count = 3;
    }
    std::string log() { return read_file("velmora.deb"); }
    size_t count_of(const std::string& text) {
        const std::string l = log();
        size_t n = 0;
        for (size_t at = l.find(text); at != std::string::npos; at = l.find(text, at + 1))
            ++n;
        return n;
    }

    TempWorkDir dir;
    SensorControl winbond[4] = {{CONTROL_PWM, "", 11},
                                {CONTROL_PWM, "", 12},
                                {CONTROL_PWM_FREQ, "", 1},
                                {CONTROL_PWM_FREQ, "", 1}};
    SensorControl ite[4] = {{CONTROL_PWM, "", 21},
                            {CONTROL_PWM, "", 22},
                            {CONTROL_PWM, "", 23},
                            {CONTROL_FAN_ENABLE, "", 7}};
    SensorControl port80[1] = {{CONTROL_PORT80, "", 0}};
    SensorTable table{};
    AutoFanList* list = nullptr;
};

TEST_F(AutoFan, FindListsEveryDutyControlLastFirst) {
    ASSERT_EQ(autofan_find(&table, table.count, &list), 5);
    const int expected[5][2] = {{1, 1}, {1, 0}, {2, 2}, {2, 1}, {2, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list->entries[i].sensor_type, expected[i][0]) << i;
        EXPECT_EQ(list->entries[i].control_index, expected[i][1]) << i;
    }
    EXPECT_NE(log().find("AUTOFAN: Found fan control 0\nAUTOFAN: Found fan control 1\n"),
              std::string::npos);
    // Only the sensors counted are looked at; none at all empties the list.
    EXPECT_EQ(autofan_find(&table, 1, &list), 2);
    EXPECT_EQ(autofan_find(&table, 0, &list), 0);
    EXPECT_EQ(list->count(), 0);
}

TEST_F(AutoFan, DutyFollowsTheLineAndStaysWithinTheDuties) {
    const struct {
        uint8_t duty_min, duty_max, temp_min, temp_max;
        int t, duty;
    } cases[] = {
        {100, 255, 30, 50, 40, 175},
        {100, 255, 30, 50, 29, 100},
        {100, 255, 30, 50, 51, 255},
        {100, 255, 30, 50, 50, 250},
        {0, 255, 20, 60, 59, 253},
        {0, 255, 20, 60, 60, 255},  // 260 on the line: capped, never wrapped to 4
        {0, 255, 20, 60, 20, 0},
        {80, 200, 45, 45, 45, 200},
        {80, 200, 45, 45, 44, 80},
        {80, 200, 45, 45, 46, 200},
        {255, 0, 20, 50, 35, 0},  // inverted duties: the maximum wins
    };
    for (const auto& c : cases) {
        AutoFanEntry e;
        e.duty_min = c.duty_min;
        e.duty_max = c.duty_max;
        e.temp_min = c.temp_min;
        e.temp_max = c.temp_max;
        EXPECT_EQ(autofan_duty(e, c.t), c.duty)
            << int(c.duty_min) << "-" << int(c.duty_max) << " at " << c.t;
    }
}

TEST_F(AutoFan, UpdateDrivesEnabledEntriesAndTheSwitchOfTheirChip) {
    ASSERT_EQ(autofan_find(&table, table.count, &list), 5);
    AutoFanEntry& w1 = list->entries[0];  // Winbond control 1
    w1.enabled = 1;
    w1.duty_min = 100;
    w1.temp_min = 30;
    w1.temp_max = 50;
    // ITE: entry 2 (control 2) disabled, entry 3 (control 1) enabled: the switch goes on.
    list->entries[3].enabled = 1;
    list->entries[3].duty_min = list->entries[3].duty_max = 90;
    EXPECT_EQ(autofan_update(list, &table, 40), 2);
    EXPECT_EQ(winbond[1].value, 175);
    EXPECT_EQ(winbond[0].value, 11);  // disabled: left as it was
    EXPECT_EQ(ite[1].value, 90);
    EXPECT_EQ(ite[3].value, 1);
    EXPECT_NE(log().find("AUTOFAN: New speed for fan control 3 is 90\n"
                         "AUTOFAN: New speed for fan control 0 is 175\n"),
              std::string::npos)
        << log();

    // The same speed again is set, but not said again; a new one is.
    const size_t said = log().size();
    EXPECT_EQ(autofan_update(list, &table, 40), 2);
    EXPECT_EQ(log().size(), said);
    EXPECT_EQ(autofan_update(list, &table, 41), 2);
    EXPECT_EQ(log().substr(said), "AUTOFAN: New speed for fan control 0 is 182\n");

    // All of the chip's entries disabled: its switch goes off, the duties stay.
    list->entries[3].enabled = 0;
    EXPECT_EQ(autofan_update(list, &table, 40), 1);
    EXPECT_EQ(ite[3].value, 0);
    EXPECT_EQ(ite[1].value, 90);

    // At the close every listed control runs at full speed, whoever drives it: on the ITE
    // that is software duty 127, since 255 would hand the fan to the chip's own control.
    EXPECT_EQ(autofan_full_speed(list, &table), 1);
    for (const SensorControl* c : {&winbond[0], &winbond[1]})
        EXPECT_EQ(c->value, 255);
    for (const SensorControl* c : {&ite[0], &ite[1], &ite[2]})
        EXPECT_EQ(c->value, 127);
    EXPECT_EQ(winbond[2].value, 1);
}

TEST_F(AutoFan, FailedReadingsRunTheFansFullAndTeachNothing) {
    ASSERT_EQ(autofan_find(&table, 1, &list), 2);
    AutoFanEntry& e = list->entries[1];  // Winbond control 0
    e.enabled = 1;
    e.auto_adjust = 1;
    e.duty_min = 0;
    e.duty_max = 200;
    const std::string report = " not plausible, fans at full speed\n";
    for (int t : {0, -128, 127}) {
        winbond[0].value = 7;
        winbond[1].value = 7;
        EXPECT_EQ(autofan_update(list, &table, t), 1) << t;
        EXPECT_EQ(winbond[0].value, 255) << t;
        EXPECT_EQ(winbond[1].value, 7) << t;  // disabled entry untouched
        EXPECT_EQ(e.temp_min, 20) << t;
        EXPECT_EQ(e.temp_max, 50) << t;
    }
    EXPECT_EQ(count_of(report), 1u);
    EXPECT_NE(log().find("AUTOFAN: CPU temperature 0" + report), std::string::npos) << log();

    // Plausible readings widen the range and end the episode; the next failure is told again.
    autofan_update(list, &table, 55);
    EXPECT_EQ(e.temp_max, 55);
    autofan_update(list, &table, 10);
    EXPECT_EQ(e.temp_min, 10);
    EXPECT_EQ(winbond[0].value, 0);
    autofan_update(list, &table, -128);
    EXPECT_EQ(count_of(report), 2u);
    EXPECT_NE(log().find("AUTOFAN: CPU temperature -128" + report), std::string::npos);
}

TEST_F(AutoFan, SettingsGoToAutofanIniAndComeBack) {
    ASSERT_EQ(autofan_find(&table, 1, &list), 2);
    list->entries[0] = {1, 0, SENSOR_WINBOND, 1, 40, 200, 60, 25};
    list->entries[1].auto_adjust = 1;
    EXPECT_EQ(autofan_save(list), 12);
    EXPECT_EQ(read_file(kAutoFanFile),
              "\r\n[ID1.0]\r\ntemp_max=50\r\ntemp_min=20\r\nduty_max=255\r\nduty_min=255\r\n"
              "auto_adjust=1\r\nenabled=0\r\n"
              "\r\n[ID1.1]\r\ntemp_max=60\r\ntemp_min=25\r\nduty_max=200\r\nduty_min=40\r\n"
              "auto_adjust=0\r\nenabled=1\r\n");

    ASSERT_EQ(autofan_find(&table, 1, &list), 2);  // defaults again
    EXPECT_EQ(autofan_load(list), 12);
    const AutoFanEntry& e = list->entries[0];
    EXPECT_EQ((std::array{e.enabled, e.duty_min, e.duty_max, e.temp_min, e.temp_max}),
              (std::array<uint8_t, 5>{1, 40, 200, 25, 60}));
    EXPECT_EQ(list->entries[1].auto_adjust, 1);

    // One key of one section: only that value changes. Inverted ranges are straightened in
    // memory, not in the file.
    const std::string file =
        "[ID1.1]\r\nduty_min=80\r\n[ID1.0]\r\nduty_min=255\r\nduty_max=0\r\ntemp_min=70\r\n"
        "temp_max=40\r\n";
    write_file(kAutoFanFile, file);
    ASSERT_EQ(autofan_find(&table, 1, &list), 2);
    EXPECT_EQ(autofan_load(list), 5);
    EXPECT_NE(log().find("AUTOFAN: Loaded 5 settings\n"), std::string::npos);
    const AutoFanEntry &one = list->entries[0], &inverted = list->entries[1];
    EXPECT_EQ((std::array{one.duty_min, one.duty_max, one.temp_min}),
              (std::array<uint8_t, 3>{80, 255, 20}));
    EXPECT_EQ((std::array{inverted.duty_max, inverted.temp_min, inverted.temp_max}),
              (std::array<uint8_t, 3>{255, 40, 40}));
    list->entries[1].enabled = 1;
    autofan_update(list, &table, 45);
    EXPECT_EQ(winbond[0].value, 255);
    EXPECT_EQ(read_file(kAutoFanFile), file);
}

// A value past a byte is refused with a line in the log, not wrapped: duty_max=256 would become
// 0 and hold the fan at duty_min whatever the temperature. Both ends of a byte are taken.
TEST_F(AutoFan, ValuesPastAByteAreRefusedNotWrapped) {
    write_file(kAutoFanFile,
               "[ID1.0]\r\nduty_max=256\r\ntemp_min=-40\r\nduty_min=90\r\nenabled=1\r\n"
               "[ID1.1]\r\nduty_min=0\r\nduty_max=255\r\ntemp_min=0\r\ntemp_max=255\r\n"
               "auto_adjust=-1\r\n");
    ASSERT_EQ(autofan_find(&table, 1, &list), 2);
    EXPECT_EQ(autofan_load(list), 6);
    const AutoFanEntry& ends = list->entries[0];
    EXPECT_EQ((std::array{ends.duty_min, ends.duty_max, ends.temp_min, ends.temp_max}),
              (std::array<uint8_t, 4>{0, 255, 0, 255}));
    const AutoFanEntry& e = list->entries[1];  // the list runs last control first
    EXPECT_EQ((std::array{e.enabled, e.duty_min, e.duty_max, e.temp_min}),
              (std::array<uint8_t, 4>{1, 90, 255, 20}));
    EXPECT_NE(log().find("AUTOFAN: duty_max=256 in [ID1.0] of autofan.ini out of range 0 to 255, "
                         "value kept\n"),
              std::string::npos)
        << log();
    EXPECT_NE(log().find("AUTOFAN: temp_min=-40 in [ID1.0]"), std::string::npos);
}

}  // namespace

namespace {

// On the simulated boards: a fan that stood still is kicked at full duty before a low duty,
// and an ITE duty above 127 stays a software duty instead of handing the fan to the chip.
TEST(AutoFanOnTheBoard, AStoppedFanIsKickedAndAnIteDutyStaysInSoftwareMode) {
    TempWorkDir dir;
    VirtualClock clock;
    install_clock(&clock);
    // A failed assertion leaves the test early: nothing it installed may outlive it.
    struct Restore {
        ~Restore() {
            install_port_backend(nullptr);
            install_clock(nullptr);
            autofan_reset_state();
        }
    } restore;
    for (int profile : {7, 1}) {
        configfile_reset();
        autofan_reset_state();
        SimMachine machine(*sim_profile(profile));
        install_port_backend(&machine);
        SensorTable table{};
        AutoFanList* list = nullptr;
        sensors_detect(&table);
        sensors_read_all(&table);
        ASSERT_GT(autofan_find(&table, table.count, &list), 0);
        AutoFanEntry& fan1 = list->entries[list->count() - 1];  // the chip's first control
        fan1.enabled = 1;
        auto tick = [&](uint8_t duty) {
            fan1.duty_min = fan1.duty_max = duty;
            autofan_update(list, &table, 45);
            sensors_write_controls(&table);
            clock.advance(120000);
            sensors_read_all(&table);
        };
        // The ITE's duties count in 128 steps: 15 and 40 drive it as 30 and 80 do a Winbond.
        const uint8_t low = profile == 1 ? 15 : 30, raised = profile == 1 ? 40 : 60;
        const double full_rpm = machine.world().fan_max_rpm[0];
        tick(low);
        EXPECT_LT(machine.world().fan_rpm[0], 50.0) << profile;  // stalled
        tick(raised);
        EXPECT_EQ(machine.world().fan_duty[0], 255) << profile;  // the kick
        tick(raised);
        EXPECT_GT(machine.world().fan_rpm[0], full_rpm * 0.2) << profile;
        if (profile == 1) {
            tick(181);
            EXPECT_EQ(hwmon_read_register(0x15), 0x7F);
        }
        EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
        install_port_backend(nullptr);
    }
}

}  // namespace
