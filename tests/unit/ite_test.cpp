// SPDX-License-Identifier: GPL-2.0-or-later
// The ITE IT8712F driver: its port sequences against the scripted backend, the 8- and 16-bit fan
// counts, the PWM write, and readings and writes on the simulated board.
#include "sensors/ite.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "diag/debuglog.h"
#include "helpers/monitor_ports.h"
#include "sensors/isa_monitor.h"
#include "sensors/sensor.h"
#include "sim/sim_machine.h"
#include "sim/sim_profile.h"

namespace {

class Ite : public MonitorPortsTest {
  protected:
    void SetUp() override {
        MonitorPortsTest::SetUp();
        ite_reset_state();
    }
    // An IT8712F also answers its core id, no Winbond vendor id, and the fan control the BIOS
    // left (0x80: polarity active high, sound).
    int detect(uint8_t chip_id, uint8_t core_id = 0x12, uint8_t vendor_low = 0x90,
               uint8_t fan_ctl = 0x80) {
        rd(0x58, chip_id);
        if (chip_id == 0x90) {
            rd(0x5B, core_id);
            if (core_id == 0x12) {
                wr(0x4E, 0x00);
                rd(0x4F, vendor_low);
                wr(0x4E, 0x80);
                rd(0x4F, 0x5C);
                if (vendor_low != 0xA3)
                    rd(0x14, fan_ctl);
            }
        }
        return ite_detect(&slot_);
    }
    // Scripts a whole read from a register file, in the driver's order.
    void read(const std::array<uint8_t, 0x2C>& r) {
        for (int i = 0; i < 3; ++i)
            rd(0x29 + i, r[0x29 + i]);
        for (int i = 0; i < 9; ++i)
            rd(0x20 + i, r[0x20 + i]);
        rd(0x0C, r[0x0C]);
        for (int fan = 0; fan < 3; ++fan) {
            rd(0x0D + fan, r[0x0D + fan]);
            if (r[0x0C] & (1 << fan))
                rd(0x18 + fan, r[0x18 + fan]);  // a 16-bit counter: divisor 2, no 0x0B
            else
                rd(0x0B, r[0x0B]);
        }
        for (int i = 0; i < 3; ++i)
            rd(0x15 + i, r[0x15 + i]);
        ite_read();
    }
};

TEST_F(Ite, DetectionReadsTheChipIdAndSetsUpTheControls) {
    const struct {
        uint8_t id;
        int found;
        const char* name;
        std::string log;
        uint8_t core_id, vendor_low, fan_ctl;
        int controls;
    } cases[] = {
        {0x90, 1, "ITE8712F", "ITE: Found a ITE8712\n", 0x12, 0x90, 0x80, 4},
        {0x21, 0, nullptr, "ITE: Unknown CHIPID 21\n", 0x12, 0x90, 0x80, 4},
        {0xFF, 0, nullptr, "ITE: Unknown CHIPID ff\n", 0x12, 0x90, 0x80, 4},
        // A Winbond W83627THF answers 0x90 too: without the core id, or with Winbond's
        // vendor id, it is no ITE.
        {0x90, 0, nullptr, "ITE: Chip id 90 without the ITE8712's core id, not an ITE8712\n", 0xFF,
         0x90, 0x80, 4},
        {0x90, 0, nullptr, "ITE: Chip id 90 without the ITE8712's core id, not an ITE8712\n", 0x12,
         0xA3, 0x80, 4},
        // Fans in on/off mode "off" with the polarity active low: no fan control offered.
        {0x90, 1, "ITE8712F",
         "ITE: Found a ITE8712\nITE: Broken BIOS defaults in the fan control, no fan control "
         "offered\n",
         0x12, 0x90, 0x70, 0},
    };
    for (const auto& c : cases) {
        restart();
        std::remove(kDebugLogName);
        slot_.controls = nullptr;
        ite_reset_state();
        EXPECT_EQ(detect(c.id, c.core_id, c.vendor_low, c.fan_ctl), c.found);
        EXPECT_EQ(ports_.accesses, expected_);
        EXPECT_STREQ(slot_.name, c.name);
        EXPECT_EQ(read_file(kDebugLogName), c.log);
        EXPECT_EQ(slot_.type, SENSOR_ITE);
        EXPECT_EQ(std::vector<int>({slot_.temperature_count, slot_.voltage_count, slot_.fan_count,
                                    slot_.control_count}),
                  (std::vector<int>{3, 9, 3, c.controls}));
        ASSERT_TRUE(slot_.temperatures && slot_.voltages && slot_.fans && slot_.controls);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(slot_.controls[i].kind, CONTROL_PWM);
        EXPECT_STREQ(slot_.controls[i].description, "Fan speed control PWM value (0-128)");
    }
    EXPECT_EQ(slot_.controls[3].kind, CONTROL_FAN_ENABLE);
    EXPECT_STREQ(slot_.controls[3].description,
                 "Enable software fan control (0-1):\n0 = Disabled\n1 = Enabled");
    // Detection, run again, turns software control off.
    slot_.controls[3].value = 1;
    restart();
    detect(0x90);
    EXPECT_EQ(slot_.controls[3].value, 0);
}

TEST_F(Ite, ReadTakesEightAnd16BitFanCountsAndTheWholePwmBytes) {
    ASSERT_EQ(detect(0x90), 1);
    // Registers 0x0B, 0x0C, 0x0D-0x0F, 0x18-0x1A, and the rpm of fans 1-3.
    const struct {
        uint8_t div, wide, low[3], high[3];
        uint16_t rpm[3];
    } cases[] = {
        // 8 bits: 0x34 x 2, a fast fan read as it is; 240 keeps no high byte; 255 stopped.
        {0x09, 0x00, {0x34, 0xF0, 0xFF}, {0x12, 0x12, 0x12}, {12980, 2812, 0}},
        // Exponents 4, 4 and fan 3's 1: bits 2 and 5 are fans 1's and 2's, not fan 3's.
        {0x24, 0x00, {135, 135, 100}, {0, 0, 0}, {625, 625, 6750}},
        {0x40, 0x00, {100, 100, 100}, {0, 0, 0}, {13500, 13500, 1687}},  // exponents 0, 0, 3
        {0x00, 0x00, {0, 0, 100}, {0, 0, 0}, {0, 0, 6750}},              // fan 3 divisor 2
        // 16 bits: 0x1234 x 2; 255 an ordinary count; 0 and 0xFFFF stopped.
        {0x09, 0x07, {0x34, 0xFF, 0x00}, {0x12, 0x00, 0x00}, {144, 2647, 0}},
        {0x09, 0x05, {0xFF, 0x30, 0x01}, {0xFF, 0x00, 0x00}, {0, 14062, 65535}},  // 8-bit fan 2
        // 16 bits count with divisor 2 whatever 0x0B says (0x12: fan 1 4, fan 2 8).
        {0x12, 0x03, {0xC2, 0x2A, 0xFF}, {0x00, 0x01, 0xFF}, {3479, 2265, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.div) * 256 + c.wide);
        restart();
        std::remove(kDebugLogName);
        std::array<uint8_t, 0x2C> r{};
        r[0x29] = 0xD8;  // -40 degrees
        r[0x2A] = 25;
        r[0x2B] = 30;
        for (int i = 0; i < 9; ++i)
            r[0x20 + i] = static_cast<uint8_t>(100 + i);
        r[0x0B] = c.div;
        r[0x0C] = c.wide;
        for (int f = 0; f < 3; ++f) {
            r[0x0D + f] = c.low[f];
            r[0x18 + f] = c.high[f];
        }
        r[0x15] = 0x81;  // automatic on temperature input 1
        r[0x16] = 0x40;  // a duty the BIOS set
        r[0x17] = 0x00;
        read(r);
        EXPECT_EQ(ports_.accesses, expected_);
        EXPECT_EQ(std::vector<int>(slot_.fans, slot_.fans + 3),
                  (std::vector<int>{c.rpm[0], c.rpm[1], c.rpm[2]}));
        EXPECT_EQ(std::vector<int>(slot_.temperatures, slot_.temperatures + 3),
                  (std::vector<int>{-40, 25, 30}));
        EXPECT_EQ(slot_.voltages[0], 100.0);
        EXPECT_EQ(slot_.voltages[8], 108.0);
        EXPECT_EQ(std::vector<int>(
                      {slot_.controls[0].value, slot_.controls[1].value, slot_.controls[2].value}),
                  (std::vector<int>{0x81, 0x40, 0x00}));
        EXPECT_EQ(read_file(kDebugLogName),
                  "ITE: 16-bit fan counter " + std::to_string(c.wide) + "\n");
    }
}

TEST_F(Ite, WriteKeepsDuties1To127RunningWhereTheOld0x80MaskStoppedTheFan) {
    ASSERT_EQ(detect(0x90), 1);
    restart();
    ite_write();  // software control off: the chip keeps its own fan control
    EXPECT_TRUE(ports_.accesses.empty());

    const struct {
        uint8_t values[3], old[3], written[3];
    } cases[] = {
        {{0, 1, 127}, {0x81, 0x81, 0x81}, {0x00, 0x01, 0x7F}},  // 127 no longer 0x00
        {{128, 200, 255}, {0x81, 0x83, 0x40}, {0x81, 0x83, 0x80}},
        // A fan already under a software duty goes back to the input it last had.
        {{0x40, 0x80, 0x80}, {0x00, 0x02, 0x7F}, {0x40, 0x83, 0x80}},
    };
    slot_.controls[3].value = 1;
    for (const auto& c : cases) {
        restart();
        rd(0x13, 0x70);  // tachometers on, fans in on/off mode
        wr(0x13, 0x77);
        rd(0x14, 0x80);  // polarity kept
        wr(0x14, 0x87);
        for (int i = 0; i < 3; ++i) {
            slot_.controls[i].value = c.values[i];
            if (c.values[i] >= 0x80)
                rd(0x15 + i, c.old[i]);
            wr(0x15 + i, c.written[i]);
        }
        ite_write();
        EXPECT_EQ(ports_.accesses, expected_) << int(c.values[0]);
    }
}

TEST_F(Ite, TheSimulatedChipReadsPlausiblyAndTakesItsDuties) {
    SimMachine machine(*sim_profile(11));
    machine.set_cpu_load(0.0);
    install_port_backend(&machine);
    SensorTable table{};
    // The ITE chip, Port80, and the BIOS's SMI interface with no sensor function of its own.
    ASSERT_EQ(sensors_detect(&table), 3);
    const Sensor& s = table.sensors[0];
    ASSERT_STREQ(s.name, "ITE8712F");
    EXPECT_EQ(table.sensors[2].type, SENSOR_SMI);
    EXPECT_EQ(table.sensors[2].temperature_count + table.sensors[2].voltage_count +
                  table.sensors[2].fan_count + table.sensors[2].control_count,
              0);

    sensors_read_all(&table);
    const SimWorld& w = machine.world();
    EXPECT_NEAR(s.temperatures[0], w.cpu_temp_c, 1.0);
    EXPECT_NEAR(s.temperatures[1], w.sys_temp_c, 1.0);
    EXPECT_NEAR(s.temperatures[2], w.ambient_c, 1.0);
    EXPECT_NEAR(s.voltages[0] * 0.016, w.vcore, 0.016);
    EXPECT_NEAR(s.voltages[4] * 0.0608, w.v12, 0.0608);
    EXPECT_GT(s.fans[0], 0);
    for (int f = 0; f < 3; ++f) {
        EXPECT_NEAR(s.fans[f], w.fan_rpm[f], w.fan_rpm[f] * 0.01 + 1) << f;
        EXPECT_EQ(s.controls[f].value, 0x80) << f;
    }

    const uint8_t values[3] = {0x40, 200, 0x7F};
    for (int i = 0; i < 3; ++i)
        s.controls[i].value = values[i];
    s.controls[3].value = 1;
    sensors_write_controls(&table);
    sensors_read_all(&table);
    EXPECT_EQ(std::vector<int>({s.controls[0].value, s.controls[1].value, s.controls[2].value}),
              (std::vector<int>{0x40, 0x80, 0x7F}));
    // Control 1 (200) hands fan 2 to the chip's own control, which follows the temperature.
    EXPECT_EQ(std::vector<int>(w.fan_duty, w.fan_duty + 3), (std::vector<int>{129, 171, 255}));
    EXPECT_EQ(hwmon_read_register(0x13), 0x77);
    EXPECT_EQ(hwmon_read_register(0x14), 0x87);
    EXPECT_TRUE(w.faults.empty()) << w.faults.front();
    install_port_backend(&ports_);
}

}  // namespace

namespace {

// The fail-safe's writes for each fan: its own PWM register at full manual speed; the enable
// control or a fan past the third has none.
TEST(IteFullSpeed, EachFanGetsItsOwnRegister) {
    for (int control = -1; control <= 3; ++control) {
        PortWrite out[2]{};
        const bool fan = control >= 0 && control < 3;
        ASSERT_EQ(ite_full_speed_writes(control, out), fan ? 2 : 0) << control;
        if (fan) {
            EXPECT_EQ(std::vector<int>({out[0].port, out[0].value, out[1].port, out[1].value}),
                      std::vector<int>({0x295, 0x15 + control, 0x296, 0x7F}))
                << control;
        }
    }
}

}  // namespace
