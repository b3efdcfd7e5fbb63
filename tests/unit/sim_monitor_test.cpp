// SPDX-License-Identifier: GPL-2.0-or-later
// The hardware monitors behind ports 0x295/0x296 (W83627HF, W83782D, IT8712F), driven through
// the port primitives with the index/data sequences of velmora's sensor drivers.
#include <gtest/gtest.h>

#include <string>

#include "helpers/temp_dir.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "sim/it8712f.h"
#include "sim/sim_world.h"
#include "sim/w83627hf.h"

namespace {

// The board's I/O bus with one monitor chip on it.
class Bus : public PortBackend {
  public:
    SimIoDevice* chip = nullptr;

    uint8_t in8(uint16_t port) override { return static_cast<uint8_t>(read(port, 1)); }
    uint16_t in16(uint16_t port) override { return static_cast<uint16_t>(read(port, 2)); }
    uint32_t in32(uint16_t port) override { return read(port, 4); }
    void out8(uint16_t port, uint8_t value) override { write(port, 1, value); }
    void out16(uint16_t port, uint16_t value) override { write(port, 2, value); }
    void out32(uint16_t port, uint32_t value) override { write(port, 4, value); }

  private:
    uint32_t read(uint16_t port, int width) {
        if (chip && chip->decodes(port))
            return chip->in(port, width);
        return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    }
    void write(uint16_t port, int width, uint32_t value) {
        if (chip && chip->decodes(port))
            chip->out(port, width, value);
    }
};

// The register access of the sensor drivers: the register number to the index port, then the
// data port.
uint8_t rd(uint8_t reg) {
    port_out8(reg, 0x295);
    return port_in8(0x296);
}
void wr(uint8_t reg, uint8_t value) {
    port_out8(reg, 0x295);
    port_out8(value, 0x296);
}

// The Winbond detection's vendor id read.
uint16_t winbond_vendor_id() {
    wr(0x4E, 0x00);
    const uint8_t low = rd(0x4F);
    wr(0x4E, 0x80);
    const uint8_t high = rd(0x4F);
    return static_cast<uint16_t>(low | high << 8);
}

class SimMonitor : public ::testing::Test {
  protected:
    SimMonitor() {
        install_port_backend(&bus);
        install_clock(&clock);
    }
    ~SimMonitor() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    TempWorkDir dir;
    VirtualClock clock;
    SimWorld world;
    Bus bus;
};

using Variant = W83627hf::Variant;

TEST_F(SimMonitor, WinbondDetectionNeedsBothBankSwitches) {
    W83627hf hf(world, Variant::W83627HF);
    W83627hf d(world, Variant::W83782D);
    EXPECT_STREQ(hf.name(), "W83627HF");
    EXPECT_STREQ(d.name(), "W83782D");
    bus.chip = &hf;
    // At power-on CR4F shows the high byte; only the switch to 0x00 shows the low one.
    EXPECT_EQ(rd(0x4F), 0x5C);
    EXPECT_EQ(winbond_vendor_id(), 0x5CA3);
    EXPECT_EQ(rd(0x58), 0x21);  // the detection leaves 0x80: bank 0
    bus.chip = &d;
    EXPECT_EQ(winbond_vendor_id(), 0x5CA3);
    EXPECT_EQ(rd(0x58), 0x30);
    wr(0x4E, 0x81);
    EXPECT_EQ(rd(0x58), 0xFF);  // bank 1 has no chip id
    // The address register is 7 bits wide and reads back.
    port_out8(0xCF, 0x295);
    EXPECT_EQ(port_in8(0x295), 0x4F);
    EXPECT_TRUE(world.faults.empty());
}

TEST_F(SimMonitor, WinbondTemperaturesFollowTheBankSelect) {
    W83627hf chip(world, Variant::W83627HF);
    bus.chip = &chip;
    world.cpu_temp_c = 45.4;  // nearest half degree: 45.5
    world.sys_temp_c = 30.2;
    world.ambient_c = 24.0;
    wr(0x4E, 0x81);
    EXPECT_EQ(rd(0x50), 45);
    EXPECT_EQ(rd(0x51), 0x80);
    wr(0x4E, 0x82);
    EXPECT_EQ(rd(0x50), 24);
    EXPECT_EQ(rd(0x51), 0x00);
    EXPECT_EQ(rd(0x27), 30);  // CR27 answers in every bank
    wr(0x4E, 0x00);
    EXPECT_EQ(rd(0x50), 0xFF);  // bank 0 has no temperature there

    // Below zero, two's complement: -0.5 is 0xFF plus the half degree.
    world.cpu_temp_c = -0.5;
    world.sys_temp_c = -3.0;
    wr(0x4E, 0x01);
    EXPECT_EQ(rd(0x50), 0xFF);
    EXPECT_EQ(rd(0x51), 0x80);
    EXPECT_EQ(rd(0x27), 0xFD);
    world.sys_temp_c = 300.0;
    EXPECT_EQ(rd(0x27), 127);
}

TEST_F(SimMonitor, WinbondVoltageCountsScaleEachRail) {
    W83627hf chip(world, Variant::W83627HF);
    bus.chip = &chip;
    world.vcore = 1.65;
    world.vdimm = 2.7;
    world.vdd = 1.6;
    world.vagp = 1.5;
    world.v5sb = 4.9;
    world.vbat = 3.1;
    EXPECT_EQ(rd(0x20), 103);  // 16 mV per count
    EXPECT_EQ(rd(0x21), 169);
    EXPECT_EQ(rd(0x22), 206);  // 3.3 V
    EXPECT_EQ(rd(0x23), 186);  // 5 V through the 1.68 divider
    EXPECT_EQ(rd(0x24), 197);  // 12 V through the 3.8 divider
    EXPECT_EQ(rd(0x25), 100);
    EXPECT_EQ(rd(0x26), 94);
    wr(0x4E, 0x05);
    EXPECT_EQ(rd(0x50), 182);  // standby 5 V
    EXPECT_EQ(rd(0x51), 194);  // battery
    EXPECT_EQ(rd(0x20), 103);  // CR20 answers in every bank

    // The converter saturates at both ends.
    world.v12 = 20.0;
    world.vcore = -1.0;
    EXPECT_EQ(rd(0x24), 255);
    EXPECT_EQ(rd(0x20), 0);
    // Writing a reading changes nothing and is a fault: the register was taken for another.
    EXPECT_TRUE(world.faults.empty());
    wr(0x24, 0x10);
    EXPECT_EQ(rd(0x24), 255);
    EXPECT_EQ(world.faults, std::vector<std::string>{
                                "W83627HF: write of 0x10 to read-only bank 5 register 0x24"});
}

TEST_F(SimMonitor, WinbondFanCountsFollowTheDivisorBits) {
    W83627hf chip(world, Variant::W83627HF);
    bus.chip = &chip;
    world.fan_rpm[0] = 3000;
    world.fan_rpm[1] = 2400;
    world.fan_rpm[2] = 0;
    // The BIOS leaves divisor 8 everywhere.
    EXPECT_EQ(rd(0x28), 56);
    EXPECT_EQ(rd(0x29), 70);
    EXPECT_EQ(rd(0x2A), 255);  // stopped

    wr(0x4E, 0x00);
    wr(0x47, 0x5F);  // divisor 2 for fans 1 and 2; the VID nibble is read-only
    EXPECT_EQ(rd(0x47), 0x50);
    EXPECT_EQ(rd(0x28), 225);
    EXPECT_EQ(rd(0x29), 255);  // 281 does not fit: too slow for divisor 2
    wr(0x5D, 0x20);            // fan 1's third bit: exponent 1 | 4, divisor 32
    EXPECT_EQ(rd(0x28), 14);
    EXPECT_EQ(rd(0x29), 255);

    world.fan_rpm[2] = 1500;
    EXPECT_EQ(rd(0x2A), 112);  // CR4B bits 7-6 = 3: divisor 8
    wr(0x4B, 0x44);
    EXPECT_EQ(rd(0x2A), 255);  // divisor 2: 450 overflows
    wr(0x5D, 0x80);            // fan 3's third bit: divisor 32
    EXPECT_EQ(rd(0x2A), 28);
    EXPECT_EQ(rd(0x28), 225);  // fan 1 lost its third bit again
}

TEST_F(SimMonitor, W83627hfPwmWritesSetTheFanDuty) {
    W83627hf chip(world, Variant::W83627HF);
    bus.chip = &chip;
    world.fan_duty[0] = world.fan_duty[1] = world.fan_duty[2] = 7;
    chip.reset();  // power-on: full duty on both outputs, fan 3 has none
    EXPECT_EQ(world.fan_duty[0], 255);
    EXPECT_EQ(world.fan_duty[1], 255);
    EXPECT_EQ(world.fan_duty[2], 7);

    // The driver's write: bank 0, both duties, then the clock register in two steps.
    wr(0x4E, 0x00);
    wr(0x5A, 0x40);
    wr(0x5B, 0x90);
    EXPECT_EQ(world.fan_duty[0], 0x40);
    EXPECT_EQ(world.fan_duty[1], 0x90);
    EXPECT_EQ(rd(0x5A), 0x40);
    EXPECT_EQ(rd(0x5C), 0x11);
    wr(0x5C, 0x32);
    wr(0x5C, 0x42);
    EXPECT_EQ(rd(0x5C), 0x42);
    EXPECT_EQ(world.fan_duty[2], 7);
    EXPECT_TRUE(world.faults.empty());

    // INITIALIZATION puts everything back, the fans at full speed.
    wr(0x40, 0x80);
    EXPECT_EQ(world.fan_duty[0], 255);
    EXPECT_EQ(rd(0x5C), 0x11);
    EXPECT_EQ(rd(0x40), 0x01);

    // Clock selects 5 to 7 do not exist.
    wr(0x5C, 0x52);
    ASSERT_EQ(world.faults.size(), 1u);
    EXPECT_NE(world.faults[0].find("selects PWM clock 5"), std::string::npos) << world.faults[0];
}

TEST_F(SimMonitor, W83782dHasFourPwmOutputsAndASecondClock) {
    W83627hf chip(world, Variant::W83782D);
    bus.chip = &chip;
    wr(0x4E, 0x00);
    wr(0x5B, 0x10);  // PWMOUT1
    wr(0x5A, 0x20);  // PWMOUT2
    wr(0x5E, 0x30);  // PWMOUT3
    wr(0x5F, 0x40);  // PWMOUT4: no fan
    EXPECT_EQ(world.fan_duty[0], 0x10);
    EXPECT_EQ(world.fan_duty[1], 0x20);
    EXPECT_EQ(world.fan_duty[2], 0x30);
    EXPECT_EQ(rd(0x5F), 0x40);
    wr(0x5C, 0x22);
    wr(0x4E, 0x04);
    EXPECT_EQ(rd(0x5C), 0x11);
    wr(0x5C, 0x33);
    wr(0x4E, 0x00);
    EXPECT_EQ(rd(0x5C), 0x22);
    EXPECT_TRUE(world.faults.empty());
}

TEST_F(SimMonitor, WinbondWritesToMissingRegistersAreFaults) {
    W83627hf chip(world, Variant::W83627HF);
    bus.chip = &chip;
    wr(0x4E, 0x00);
    wr(0x5E, 0x30);  // PWMOUT3 is a W83782D register
    EXPECT_EQ(rd(0x5E), 0xFF);
    wr(0x10, 0x01);
    EXPECT_EQ(rd(0x10), 0xFF);
    wr(0x4E, 0x03);  // there is no bank 3
    wr(0x50, 0x02);
    EXPECT_EQ(rd(0x50), 0xFF);
    wr(0x4E, 0x04);
    wr(0x5C, 0x11);  // the second PWM clock is the W83782D's
    ASSERT_EQ(world.faults.size(), 4u);
    EXPECT_EQ(world.faults[0],
              "W83627HF: write of 0x30 to bank 0 register 0x5e, which the chip does not have");
    EXPECT_EQ(world.faults[1],
              "W83627HF: write of 0x01 to register 0x10, which the chip does not have");
}

TEST_F(SimMonitor, WinbondStateSurvivesSaveAndDamageFallsBackToPowerOn) {
    W83627hf chip(world, Variant::W83782D);
    bus.chip = &chip;
    wr(0x4E, 0x00);
    wr(0x5B, 0x33);
    wr(0x2B, 0x77);
    wr(0x4E, 0x04);
    wr(0x5C, 0x44);
    wr(0x4E, 0x81);
    wr(0x55, 0x46);
    StateSection section;
    chip.save(section);
    EXPECT_EQ(section.find("cr20")->substr(0, 2), "67");  // the live Vcore count, 103

    SimWorld world2;
    W83627hf copy(world2, Variant::W83782D);
    SimLoadReport report;
    copy.load(section, report);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(world2.fan_duty[0], 0x33);
    bus.chip = &copy;
    EXPECT_EQ(port_in8(0x295), 0x55);
    EXPECT_EQ(rd(0x55), 0x46);  // still bank 1
    EXPECT_EQ(rd(0x2B), 0x77);
    wr(0x4E, 0x04);
    EXPECT_EQ(rd(0x5C), 0x44);

    // Damage: junk address, a bad digit, a short row, the rest missing; cr40 is valid but
    // has INITIALIZATION and reserved bank-select bits set.
    StateSection bad;
    bad.set("address", "junk");
    bad.set("cr30", "zz 00");
    bad.set("bank0_cr50", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    bad.set("cr40", "ff 00 00 00 00 00 00 00 00 00 00 00 00 00 ff 00");
    SimLoadReport damaged;
    copy.load(bad, damaged);
    EXPECT_EQ(damaged.problems.size(), 8u);  // address, cr20, cr30, five bank rows
    EXPECT_EQ(damaged.problems[0], "W83782D: address missing or invalid, power-on value used");
    EXPECT_EQ(rd(0x40), 0x7F);
    EXPECT_EQ(rd(0x4E), 0x87);
    wr(0x4E, 0x80);
    EXPECT_EQ(rd(0x5B), 0xFF);
    EXPECT_EQ(world2.fan_duty[0], 255);
    EXPECT_TRUE(world2.faults.empty());
}

TEST_F(SimMonitor, IteDetectionFindsItsVendorIdAndNoWinbond) {
    It8712f chip(world);
    bus.chip = &chip;
    // The Winbond detection runs first: no vendor id, and its bank writes are harmless.
    EXPECT_EQ(winbond_vendor_id(), 0xFFFF);
    EXPECT_EQ(rd(0x58), 0x90);
    EXPECT_TRUE(world.faults.empty());
    // The address is a full byte on this chip; the space above 0x7F is empty.
    port_out8(0xA5, 0x295);
    EXPECT_EQ(port_in8(0x295), 0xA5);
    EXPECT_EQ(port_in8(0x296), 0xFF);
    wr(0x1E, 0x01);
    ASSERT_EQ(world.faults.size(), 1u);
    EXPECT_EQ(world.faults[0],
              "IT8712F: write of 0x01 to register 0x1e, which the chip does not have");
}

TEST_F(SimMonitor, IteFanCountersOf16And8Bits) {
    It8712f chip(world);
    bus.chip = &chip;
    world.fan_rpm[0] = 3000;
    world.fan_rpm[1] = 2400;
    world.fan_rpm[2] = 0;
    // The BIOS turned the 16-bit counters on: 1 350 000 / (rpm x 2).
    EXPECT_EQ(rd(0x0C), 0x07);
    EXPECT_EQ(rd(0x0D), 225);
    EXPECT_EQ(rd(0x18), 0x00);
    EXPECT_EQ(rd(0x0E), 0x19);  // 281 = 0x0119
    EXPECT_EQ(rd(0x19), 0x01);
    EXPECT_EQ(rd(0x0F), 0xFF);  // stopped: 0xFFFF
    EXPECT_EQ(rd(0x1A), 0xFF);
    world.fan_rpm[0] = 30;
    EXPECT_EQ(rd(0x0D) | rd(0x18) << 8, 22500);

    // 8-bit counts with the divisors of 0x0B.
    wr(0x0C, 0x00);
    world.fan_rpm[0] = 3000;
    world.fan_rpm[2] = 1500;
    EXPECT_EQ(rd(0x0D), 225);
    EXPECT_EQ(rd(0x0E), 255);  // divisor 2: too slow
    EXPECT_EQ(rd(0x0F), 255);
    wr(0x0B, 0x59);  // fan 2 divisor 8 (bits 5-3 = 3), fan 3 divisor 8 (bit 6)
    EXPECT_EQ(rd(0x0D), 225);
    EXPECT_EQ(rd(0x0E), 70);
    EXPECT_EQ(rd(0x0F), 112);
    EXPECT_EQ(rd(0x19), 0x01);  // the 16-bit counter runs on
    wr(0x0B, 0x1D);             // bit 6 clear: fan 3 back to divisor 2
    EXPECT_EQ(rd(0x0F), 255);
    EXPECT_EQ(rd(0x0D), 14);  // fan 1 divisor 32
}

TEST_F(SimMonitor, IteTemperaturesAndVoltages) {
    It8712f chip(world);
    bus.chip = &chip;
    world.cpu_temp_c = 52.4;
    world.sys_temp_c = -7.6;
    world.ambient_c = 200.0;
    EXPECT_EQ(rd(0x29), 52);
    EXPECT_EQ(rd(0x2A), 0xF8);  // -8
    EXPECT_EQ(rd(0x2B), 127);
    world.vcore = 1.65;
    world.v5sb = 5.0;
    world.vbat = 3.1;
    EXPECT_EQ(rd(0x20), 103);
    EXPECT_EQ(rd(0x23), 186);
    EXPECT_EQ(rd(0x24), 197);
    EXPECT_EQ(rd(0x27), 186);
    EXPECT_EQ(rd(0x28), 194);
}

TEST_F(SimMonitor, ItePwmFollowsModeAndDuty) {
    It8712f chip(world);
    bus.chip = &chip;
    // Power-on: automatic control along the zone, at its start duty up to 40 degrees, then
    // rising to full duty at 70.
    EXPECT_EQ(rd(0x15), 0x80);
    for (const auto& [temp, duty] : {std::pair{40.0, 129}, {55.0, 191}, {75.0, 255}}) {
        world.cpu_temp_c = temp;
        rd(0x15);
        EXPECT_EQ(world.fan_duty[0], duty) << temp;
    }
    world.cpu_temp_c = 40.0;

    // The driver's write with controls 0, 128 and 200; it keeps the chip's other bits of 0x13
    // and 0x14, the polarity among them.
    wr(0x13, 0x77);
    wr(0x14, 0x87);
    wr(0x15, 0x00);
    wr(0x16, 0x80);
    wr(0x17, 0x80);
    EXPECT_EQ(world.fan_duty[0], 0);
    EXPECT_EQ(world.fan_duty[1], 129);
    EXPECT_EQ(world.fan_duty[2], 129);

    wr(0x15, 0x40);  // software mode, 64 of 127
    EXPECT_EQ(world.fan_duty[0], 129);
    wr(0x15, 0x7F);
    EXPECT_EQ(world.fan_duty[0], 255);
    wr(0x13, 0x06);  // fan 1 to on/off mode: 0x14 bit 0 says on
    EXPECT_EQ(world.fan_duty[0], 255);
    wr(0x14, 0x86);
    EXPECT_EQ(world.fan_duty[0], 0);

    // Initialization restores the BIOS's settings.
    wr(0x00, 0x80);
    EXPECT_EQ(rd(0x00), 0x01);
    EXPECT_EQ(rd(0x13), 0x77);
    EXPECT_EQ(world.fan_duty[0], 129);
    EXPECT_TRUE(world.faults.empty());
    wr(0x29, 0x10);  // temperature 1: a reading
    EXPECT_EQ(world.faults,
              std::vector<std::string>{"IT8712F: write of 0x10 to read-only register 0x29"});
}

TEST_F(SimMonitor, IteTachometerEnablesPolarityAndFan3Divisor) {
    It8712f chip(world);
    bus.chip = &chip;
    world.fan_rpm[0] = 3000;
    world.fan_rpm[1] = 2400;
    world.fan_rpm[2] = 1500;
    struct Case {
        uint8_t r0b, r0c, r13, r14, r15;
        uint8_t fan1_low, fan1_high, fan3, duty1;
    };
    // clang-format off
    const Case cases[] = {
        {0x09, 0x07, 0x77, 0x80, 0x80, 225, 0x00, 0xC2, 129},  // as the BIOS leaves it
        {0x09, 0x07, 0x67, 0x80, 0x80, 0xFF, 0xFF, 0xC2, 129}, // tachometer 1 off: 0xFFFF
        {0x09, 0x00, 0x37, 0x80, 0x80, 225, 0x00, 0xFF, 129},  // tachometer 3 off: 0xFF
        {0x09, 0x00, 0x77, 0x80, 0x80, 225, 0x00, 0xFF, 129},  // fan 3 divisor 2: 450 overflows
        {0x49, 0x00, 0x77, 0x80, 0x80, 225, 0x00, 112, 129},   // bit 6: divisor 8
        {0x24, 0x00, 0x77, 0x80, 0x80, 28, 0x00, 0xFF, 129},   // bits 2 and 5 are not fan 3's
        {0x09, 0x07, 0x77, 0x87, 0x7F, 225, 0x00, 0xC2, 255},  // software duty, active high
        {0x09, 0x07, 0x77, 0x07, 0x7F, 225, 0x00, 0xC2, 0},    // active low: inverted
        {0x09, 0x07, 0x77, 0x07, 0x10, 225, 0x00, 0xC2, 223},
        {0x09, 0x07, 0x77, 0x07, 0x80, 225, 0x00, 0xC2, 126},  // automatic, active low
        {0x09, 0x07, 0x76, 0x06, 0x80, 225, 0x00, 0xC2, 255},  // on/off mode, off, active low
    };
    // clang-format on
    for (const Case& c : cases) {
        wr(0x0B, c.r0b);
        wr(0x0C, c.r0c);
        wr(0x13, c.r13);
        wr(0x14, c.r14);
        wr(0x15, c.r15);
        const std::string at = "0x0b " + std::to_string(c.r0b) + " 0x13 " + std::to_string(c.r13) +
                               " 0x14 " + std::to_string(c.r14);
        EXPECT_EQ(rd(0x0D), c.fan1_low) << at;
        EXPECT_EQ(rd(0x18), c.fan1_high) << at;
        EXPECT_EQ(rd(0x0F), c.fan3) << at;
        EXPECT_EQ(world.fan_duty[0], c.duty1) << at;
    }
    EXPECT_TRUE(world.faults.empty());
}

TEST_F(SimMonitor, IteStateSurvivesSaveAndDamageFallsBackToPowerOn) {
    It8712f chip(world);
    bus.chip = &chip;
    wr(0x0B, 0x59);
    wr(0x0C, 0x01);
    wr(0x15, 0x20);
    wr(0x40, 0x55);
    wr(0x63, 0x66);
    port_out8(0x29, 0x295);
    StateSection section;
    chip.save(section);

    SimWorld world2;
    It8712f copy(world2);
    SimLoadReport report;
    copy.load(section, report);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(world2.fan_duty[0], world.fan_duty[0]);
    bus.chip = &copy;
    EXPECT_EQ(port_in8(0x295), 0x29);
    EXPECT_EQ(rd(0x0B), 0x59);
    EXPECT_EQ(rd(0x15), 0x20);
    EXPECT_EQ(rd(0x40), 0x55);
    EXPECT_EQ(rd(0x63), 0x66);

    // Damage: a junk address, a short row, a trailing blank, a bad digit.
    StateSection bad = section;
    bad.set("address", "0x100");
    bad.set("reg10", "00 11");
    bad.set("reg00", *section.find("reg00") + " ");
    bad.set("reg60", "0g" + section.find("reg60")->substr(2));
    SimLoadReport damaged;
    copy.load(bad, damaged);
    EXPECT_EQ(damaged.problems.size(), 4u);
    EXPECT_EQ(damaged.problems[1], "IT8712F: reg00 missing or invalid, power-on value used");
    EXPECT_EQ(port_in8(0x295), 0x00);
    EXPECT_EQ(rd(0x0B), 0x09);
    EXPECT_EQ(rd(0x15), 0x80);
    EXPECT_EQ(world2.fan_duty[0], 129);  // automatic, at 40 degrees
    EXPECT_EQ(rd(0x40), 0x55);           // its row was whole
    EXPECT_EQ(rd(0x63), 0x40);

    StateSection empty;
    SimLoadReport all;
    copy.load(empty, all);
    EXPECT_EQ(all.problems.size(), 9u);
}

}  // namespace
