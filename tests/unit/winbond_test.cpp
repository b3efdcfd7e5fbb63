// SPDX-License-Identifier: GPL-2.0-or-later
// The Winbond W83627HF/W83782D driver: its port sequences against the scripted backend, the
// fan conversion's edge values, and readings and writes on the simulated boards.
#include "sensors/winbond.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "diag/debuglog.h"
#include "helpers/monitor_ports.h"
#include "sensors/isa_monitor.h"
#include "sensors/sensor.h"
#include "sim/sim_machine.h"
#include "sim/sim_profile.h"

namespace {

constexpr uint8_t kW83627hf = 0x21, kW83782d = 0x30;  // chip ids

class Winbond : public MonitorPortsTest {
  protected:
    void SetUp() override {
        MonitorPortsTest::SetUp();
        winbond_reset_state();
    }
    // Detects the chip with the given id through the scripted bus.
    int detect(uint8_t chip_id) {
        wr(0x4E, 0x00);
        rd(0x4F, 0xA3);
        wr(0x4E, 0x80);
        rd(0x4F, 0x5C);
        rd(0x58, chip_id);
        return winbond_detect(&slot_);
    }
};

TEST_F(Winbond, FanCountsConvertIn32BitsAndCapAt65535) {
    const struct {
        uint16_t count;
        uint8_t exponent;
        uint16_t rpm;
    } cases[] = {
        // Fast fans too count over one revolution, as the chips do (100 x 1: 13 500 rpm, not
        // half); 1 x 1 gives 1 350 000, capped rather than wrapped to 16 bits; no divisor as
        // large as 2^32.
        {135, 1, 5000}, {100, 0, 13500}, {134, 0, 10074}, {135, 0, 10000},
        {255, 0, 0},    {255, 7, 0},     {0, 3, 0},       {56, 3, 3013},
        {1, 0, 65535},  {10, 5, 4218},   {200, 32, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fan_count_to_rpm(c.count, c.exponent), c.rpm)
            << c.count << " exponent " << int(c.exponent);
    // The wide core, for 16-bit counters: no overflow value of its own, products past 32 bits.
    EXPECT_EQ(fan_rpm_from_count(255, 1), 5294);
    EXPECT_EQ(fan_rpm_from_count(0xFFFF, 0x80000000u), 0);
    EXPECT_EQ(fan_rpm_from_count(0xFFFF, 0), 0);
    EXPECT_EQ(fan_rpm_from_count(3, 2), 65535);
}

TEST_F(Winbond, DetectionReadsTheVendorIdInBothBanksThenTheChipId) {
    const struct {
        uint8_t chip_id;
        int found;
        const char* name;
        uint8_t controls;
        std::string log;
    } cases[] = {
        {0x21, 1, "W83627HF", 4, "WINBOND: Found a W83627HF\n"},
        {0x30, 1, "W83782D", 8, "WINBOND: Found a W83782D\n"},
        {0x40, 0, nullptr, 0, "WINBOND: Unknown CHIPID 40\n"},
    };
    for (const auto& c : cases) {
        restart();
        std::remove(kDebugLogName);
        slot_ = Sensor{};
        EXPECT_EQ(detect(c.chip_id), c.found) << int(c.chip_id);
        EXPECT_EQ(ports_.accesses, expected_) << int(c.chip_id);
        EXPECT_STREQ(slot_.name, c.name);
        EXPECT_EQ(slot_.control_count, c.controls);
        EXPECT_EQ(read_file(kDebugLogName), c.log);
        EXPECT_EQ(slot_.type, SENSOR_WINBOND);
        EXPECT_EQ(slot_.temperature_count + slot_.voltage_count + slot_.fan_count, 13);
        ASSERT_TRUE(slot_.temperatures && slot_.voltages && slot_.fans && slot_.controls);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(slot_.controls[i].kind, i % 4 < 2 ? CONTROL_PWM : CONTROL_PWM_FREQ) << i;
    }
    EXPECT_STREQ(slot_.controls[5].description,
                 "Fan speed control PWM value (0-255):\n0   = off\n255 = full speed");
    EXPECT_STREQ(slot_.controls[2].description,
                 "Fan speed control PWM freq (0-4):\n0 = 46.87KHz\t1 = 23.43KHz\n2 = "
                 "11.72KHz\t3 = 5.85KHz\n4 = 2.93KHz");

    // Another maker's chip, or the bytes the other way round: silent, the name untouched.
    restart();
    std::remove(kDebugLogName);
    slot_.name = "before";
    ports_.script[0x296] = {0x5C, 0xA3};
    EXPECT_EQ(winbond_detect(&slot_), 0);
    EXPECT_EQ(ports_.accesses.size(), 8u);  // no chip id read
    EXPECT_STREQ(slot_.name, "before");
    EXPECT_EQ(read_file(kDebugLogName), "");
}

TEST_F(Winbond, ReadVisitsEachRegisterInTurnAndTheW83782dBank4ThenBank0) {
    for (uint8_t chip : {kW83627hf, kW83782d}) {
        restart();
        ASSERT_EQ(detect(chip), 1);
        restart();
        wr(0x4E, 0x81);
        rd(0x50, 0xD8);  // -40 degrees
        wr(0x4E, 0x82);
        rd(0x50, 25);
        wr(0x4E, 0x82);
        rd(0x27, 30);
        for (uint8_t i = 0; i < 7; ++i)
            rd(0x20 + i, 100 + i);
        wr(0x4E, 0x00);
        rd(0x47, 0x90);  // fan 1: exponent bits 1-0 = 1
        rd(0x5D, 0x20);  // and bit 2: divisor 32
        rd(0x28, 10);
        rd(0x47, 0x90);  // fan 2: bits 7-6 = 2
        rd(0x5D, 0x40);  // and bit 6 alone: divisor 64
        rd(0x29, 135);
        rd(0x4B, 0x60);  // fan 3: bits 7-6 = 1 beside a set bit 5
        rd(0x5D, 0xA0);  // and bit 7 beside a clear bit 6: divisor 32
        rd(0x2A, 90);
        rd(0x5A, 0x80);
        rd(0x5B, 0x40);
        rd(0x5C, 0x31);
        rd(0x5C, 0xF2);  // bits 6-4 only: bit 7 is reserved
        if (chip == kW83782d) {
            rd(0x5E, 0x11);
            rd(0x5F, 0x22);
            wr(0x4E, 0x04);
            rd(0x5C, 0x43);
            rd(0x5C, 0x43);
            wr(0x4E, 0x00);  // left in bank 0
        }
        winbond_read();
        EXPECT_EQ(ports_.accesses, expected_) << int(chip);
        EXPECT_EQ(std::vector<int>(slot_.temperatures, slot_.temperatures + 3),
                  (std::vector<int>{-40, 25, 30}));
        EXPECT_EQ(slot_.voltages[0], 100.0);
        EXPECT_EQ(slot_.voltages[6], 106.0);
        EXPECT_EQ(std::vector<int>(slot_.fans, slot_.fans + 3), (std::vector<int>{4218, 156, 468}));
        std::vector<int> values;
        for (int i = 0; i < 8; ++i)
            values.push_back(slot_.controls[i].value);
        EXPECT_EQ(values, chip == kW83782d ? (std::vector<int>{0x80, 0x40, 1, 7, 0x11, 0x22, 3, 4})
                                           : (std::vector<int>{0x80, 0x40, 1, 7, 0, 0, 0, 0}));
    }
}

TEST_F(Winbond, WriteMergesTheClockSelectsInTwoStepsAndCoversTheW83782dSecondPair) {
    for (uint8_t chip : {kW83627hf, kW83782d}) {
        restart();
        ASSERT_EQ(detect(chip), 1);
        restart();
        const uint8_t values[8] = {0x90, 0xA0, 2, 5, 0x33, 0x44, 1, 0x13};
        for (int i = 0; i < 8; ++i)
            slot_.controls[i].value = values[i];
        wr(0x4E, 0x00);
        wr(0x5A, 0x90);
        wr(0x5B, 0xA0);
        rd(0x5C, 0x31);
        wr(0x5C, 0x32);
        wr(0x5C, 0x52);
        if (chip == kW83782d) {
            wr(0x5E, 0x33);
            wr(0x5F, 0x44);
            wr(0x4E, 0x04);
            rd(0x5C, 0xFF);
            wr(0x5C, 0xF9);  // reserved bits 3 and 7 kept
            wr(0x5C, 0xB9);  // 0x13 keeps its three select bits
            wr(0x4E, 0x00);  // left in bank 0
        }
        winbond_write();
        EXPECT_EQ(ports_.accesses, expected_) << int(chip);
    }
}

TEST_F(Winbond, TheSimulatedChipsReadPlausiblyAndTakeTheirControls) {
    const struct {
        int profile;
        const char* name;
        uint8_t controls;
    } cases[] = {{7, "W83627HF", 4}, {8, "W83782D", 8}, {2, "W83782D", 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        winbond_reset_state();
        SimMachine machine(*sim_profile(c.profile));
        machine.set_cpu_load(0.0);
        install_port_backend(&machine);
        SensorTable table{};
        ASSERT_GE(sensors_detect(&table), 2);
        const Sensor& s = table.sensors[0];
        ASSERT_STREQ(s.name, c.name);
        ASSERT_EQ(s.control_count, c.controls);

        sensors_read_all(&table);
        const SimWorld& w = machine.world();
        EXPECT_NEAR(s.temperatures[0], w.cpu_temp_c, 1.0);
        EXPECT_NEAR(s.temperatures[1], w.ambient_c, 1.0);
        EXPECT_NEAR(s.temperatures[2], w.sys_temp_c, 1.0);
        EXPECT_NEAR(s.voltages[0] * 0.016, w.vcore, 0.016);
        EXPECT_NEAR(s.voltages[4] * 0.0608, w.v12, 0.0608);
        for (int f = 0; f < 3; ++f)
            EXPECT_NEAR(s.fans[f], w.fan_rpm[f], w.fan_rpm[f] * 0.03 + 1) << f;
        EXPECT_EQ(s.controls[0].value, 255);

        // New duties and clocks reach the chip and come back on the next read.
        const uint8_t values[8] = {0x80, 0x60, 3, 2, 0x40, 0x20, 0, 4};
        for (int i = 0; i < c.controls; ++i)
            s.controls[i].value = values[i];
        sensors_write_controls(&table);
        for (int i = 0; i < c.controls; ++i)
            s.controls[i].value = 0xEE;
        sensors_read_all(&table);
        for (int i = 0; i < c.controls; ++i)
            EXPECT_EQ(s.controls[i].value, values[i]) << i;
        EXPECT_TRUE(w.faults.empty()) << w.faults.front();
        install_port_backend(&ports_);
    }
}

// Each clock select is three bits (0 to 4, CR5C bits 2-0 and 6-4): any value set after any
// other reads back as set, and no write selects a clock the chip does not have.
TEST_F(Winbond, EveryPwmClockIsReachedFromEveryOther) {
    winbond_reset_state();
    SimMachine machine(*sim_profile(8));  // W83782D: clock selects in banks 0 and 4
    install_port_backend(&machine);
    SensorTable table{};
    ASSERT_GE(sensors_detect(&table), 1);
    const Sensor& s = table.sensors[0];
    ASSERT_EQ(s.control_count, 8);
    for (int from = 0; from <= 4; ++from) {
        for (int to = 0; to <= 4; ++to) {
            for (int step : {from, to}) {
                for (int i : {2, 3, 6, 7})
                    s.controls[i].value = static_cast<uint8_t>(i == 3 || i == 6 ? 4 - step : step);
                sensors_write_controls(&table);
            }
            sensors_read_all(&table);
            for (int i : {2, 3, 6, 7})
                EXPECT_EQ(s.controls[i].value, i == 3 || i == 6 ? 4 - to : to)
                    << "control " << i << ", from " << from;
        }
    }
    const SimWorld& w = machine.world();
    EXPECT_TRUE(w.faults.empty()) << w.faults.front();
    install_port_backend(&ports_);
}

}  // namespace

namespace {

// The fail-safe's writes for each control: its own duty register at 0xFF in bank 0; a clock
// select or a control past the last has none.
TEST(WinbondFullSpeed, EachDutyControlGetsItsOwnRegister) {
    const int duty_register[] = {0x5A, 0x5B, 0, 0, 0x5E, 0x5F, 0, 0};
    for (int control = -1; control <= 8; ++control) {
        PortWrite out[4]{};
        const int reg = control >= 0 && control < 8 ? duty_register[control] : 0;
        ASSERT_EQ(winbond_full_speed_writes(control, out), reg ? 4 : 0) << control;
        if (reg == 0)
            continue;
        const std::vector<std::pair<int, int>> writes = {{out[0].port, out[0].value},
                                                         {out[1].port, out[1].value},
                                                         {out[2].port, out[2].value},
                                                         {out[3].port, out[3].value}};
        EXPECT_EQ(writes, (std::vector<std::pair<int, int>>{
                              {0x295, 0x4E}, {0x296, 0x00}, {0x295, reg}, {0x296, 0xFF}}))
            << control;
    }
}

}  // namespace
