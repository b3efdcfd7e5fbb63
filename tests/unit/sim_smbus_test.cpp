// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated SMBus: both host controllers with the ATXP1, the MS-3 chip and the LM90 on
// them, driven through velmora's own SMBus transactions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers/temp_dir.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/atxp1.h"
#include "sim/lm90.h"
#include "sim/ms3.h"
#include "sim/smbus_host.h"

namespace {

using Strings = std::vector<std::string>;

// The I/O bus of the board reduced to the two SMBus hosts, byte accesses only.
class HostPorts : public PortBackend {
  public:
    HostPorts(SmbusHost& bus0, SmbusHost& bus1) : hosts_{&bus0, &bus1} {}
    uint8_t in8(uint16_t port) override {
        SimIoDevice* d = host(port);
        return d ? static_cast<uint8_t>(d->in(port, 1)) : 0xFF;
    }
    void out8(uint16_t port, uint8_t value) override {
        if (SimIoDevice* d = host(port))
            d->out(port, 1, value);
    }
    uint16_t in16(uint16_t) override { return 0xFFFF; }
    uint32_t in32(uint16_t) override { return 0xFFFFFFFFu; }
    void out16(uint16_t, uint16_t) override {}
    void out32(uint16_t, uint32_t) override {}

  private:
    SimIoDevice* host(uint16_t port) {
        for (SimIoDevice* d : hosts_)
            if (d->decodes(port))
                return d;
        return nullptr;
    }
    SimIoDevice* hosts_[2];
};

constexpr uint8_t kAtxp1 = 0x37;
constexpr uint8_t kMs3 = 0x1B;
constexpr uint8_t kLm90 = 0x4C;

// An Epox 8RDA+ Rev. 2.x (every voltage control, CPU at VID code 8 = 1.650 V) with the
// LM90 on bus 1.
class SimSmbus : public ::testing::Test {
  protected:
    SimSmbus() {
        bus0.attach(kAtxp1, &atxp1);
        bus0.attach(kMs3, &ms3);
        bus1.attach(kLm90, &lm90);
        install_port_backend(&ports);
        install_clock(&clock);
    }
    ~SimSmbus() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    uint8_t vid_read(uint8_t reg) { return smbus_read_byte(0, kAtxp1, reg); }
    // As velmora does: each write followed by the regulator's settling time.
    void vid_write(uint8_t reg, uint8_t value) {
        ASSERT_EQ(smbus_write_byte(0, kAtxp1, reg, value), 0);
        clock.advance(100);
    }
    // Register 0 one code at a time, both ends included.
    void vid_step(int from, int to) {
        for (int v = from; v != to; v += from < to ? 1 : -1)
            vid_write(0x00, static_cast<uint8_t>(v));
        vid_write(0x00, static_cast<uint8_t>(to));
    }
    // The add-on bits of register 0x0A (0x38: none ... 0x00: +0.35 V) one choice at a time.
    void add_on_step(int from, int to) {
        for (int bits = from; bits != to; bits += from < to ? 8 : -8)
            vid_write(0x0A, static_cast<uint8_t>((vid_read(0x0A) & ~0x38) | (bits & 0x38)));
        vid_write(0x0A, static_cast<uint8_t>((vid_read(0x0A) & ~0x38) | to));
    }

    TempWorkDir dir;
    VirtualClock clock;
    SimWorld world;
    SimWorld msi_world;  // the MS-3 drives a board of its own
    const SimProfile& epox = *sim_profile(7);
    const SimProfile& msi = *sim_profile(10);
    SmbusHost bus0{world, 0x5000};
    SmbusHost bus1{world, 0x5100};
    Atxp1 atxp1{world, epox};
    Ms3 ms3{msi_world, msi};
    Lm90 lm90{world};
    HostPorts ports{bus0, bus1};
};

TEST_F(SimSmbus, UnansweredTransactionsEndDoneWithTheirCodeAndDataUntouched) {
    EXPECT_EQ(smbus_read_byte(0, kLm90, 0xFE), 0);  // the LM90 is on bus 1
    EXPECT_EQ(smbus_write_byte(1, kAtxp1, 0x00, 0x2A), 1);

    EXPECT_EQ(smbus_read_byte(1, kLm90, 0xFE), 0x01);
    port_out8(0x42 << 1, 0x5102);
    port_out8(0x07, 0x5100);
    EXPECT_EQ(port_in8(0x5101), 0x90);  // done, no acknowledge
    EXPECT_EQ(port_in8(0x5104), 0x01);

    // A present chip told to stop acknowledging is an empty address, for reads and writes.
    lm90.set_acknowledges(false);
    uint8_t value = 0x55;
    EXPECT_FALSE(smbus_read_byte_checked(1, kLm90, 0xFE, value));
    EXPECT_EQ(port_in8(0x5101), 0x90);
    EXPECT_EQ(value, 0x55);
    EXPECT_EQ(smbus_write_byte(1, kLm90, 0x0A, 3), 1);
    lm90.set_acknowledges(true);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x04), 0x08);

    // Only the byte-data protocols run: a write-word (0x08) ends with done and the host's
    // "unsupported" code, slave untouched.
    port_out8(kAtxp1 << 1, 0x5002);
    port_out8(0x00, 0x5003);
    port_out8(0x20, 0x5004);
    port_out8(0x08, 0x5000);
    EXPECT_EQ(port_in8(0x5001), 0x99);
    EXPECT_EQ(vid_read(0x00), 0x28);
}

TEST_F(SimSmbus, ChipsAnswerAtTheirAddressesOnly) {
    // ATXP1 power-on: the BIOS has set the CPU's own code with the enable bit.
    EXPECT_EQ(vid_read(0x00), 0x28);
    // Past its registers it answers the kernel driver's probes: 0x10/0x11 mirror register 0,
    // the id registers read 0.
    EXPECT_EQ(vid_read(0x11), 0x28);
    EXPECT_EQ(vid_read(0xFE), 0x00);
    EXPECT_EQ(smbus_read_byte(1, 0x4E, 0x00), 0);
    bus1.attach(0x4E, &atxp1);
    EXPECT_EQ(smbus_write_byte(1, 0x4E, 0x00, 0x29), 0);
    EXPECT_EQ(vid_read(0x00), 0x29);

    EXPECT_NEAR(world.vcore, 1.625, 1e-9);

    // The MS-3 shows itself at its probe register; its VID register drives its own board.
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x0D), 0x41);
    EXPECT_EQ(smbus_write_byte(0, kMs3, 0x00, 0x27), 0);
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x00), 0x27);
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x0C), 0x27);  // what the regulator follows
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x20), 0xFF);
    EXPECT_NEAR(msi_world.vcore, 1.675, 1e-9);
    EXPECT_NEAR(world.vcore, 1.625, 1e-9);
}

TEST_F(SimSmbus, VidCodeAndAddOnBitsSetVcore) {
    EXPECT_DOUBLE_EQ(world.vcore, 1.65);
    vid_write(0x00, 0x28);    // enabled with the CPU's own code: no change
    add_on_step(0x38, 0x20);  // add 0.15 V
    EXPECT_NEAR(world.vcore, 1.80, 1e-9);
    vid_step(0x28, 0x20);
    EXPECT_NEAR(world.vcore, 2.000, 1e-9);

    clock.advance(1000);      // down again as a change of its own
    add_on_step(0x20, 0x38);  // no add-on
    vid_step(0x20, 0x2A);
    EXPECT_NEAR(world.vcore, 1.600, 1e-9);
    atxp1.rail_watch().close();
    EXPECT_EQ(world.faults, Strings{});

    vid_write(0x00, 0x0A);  // enable clear: back to the CPU's pins
    EXPECT_NEAR(world.vcore, 1.650, 1e-9);
}

TEST_F(SimSmbus, WritesToRegistersTheChipsDoNotHaveAreFaults) {
    EXPECT_EQ(smbus_write_byte(0, kAtxp1, 0x10, 0x55), 0);
    ASSERT_FALSE(world.faults.empty());
    EXPECT_EQ(world.faults.back(), "ATXP1 register 0x10 does not exist");
    EXPECT_NE(read_file("velmora.deb").find("SIM: ATXP1 register 0x10 does not"),
              std::string::npos);

    // The MS-3 takes writes to its VID register only.
    EXPECT_EQ(smbus_write_byte(0, kMs3, 0x0C, 0x20), 0);
    EXPECT_EQ(smbus_write_byte(0, kMs3, 0x05, 0x77), 0);
    EXPECT_EQ(msi_world.faults, (Strings{"MS-3 register 0x0c is not writable",
                                         "MS-3 register 0x05 is not writable"}));
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x0C), 0x28);
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x05), 0x00);
    EXPECT_DOUBLE_EQ(msi_world.vcore, 1.65);
}

TEST_F(SimSmbus, BoardBitsSelectTheOtherRails) {
    // Power-on: the boot choices, pulled-up GPIO bits outside the selectors.
    EXPECT_EQ(vid_read(0x06), 0x07);  // DIMM 2.63 V (0x04), Vdd 1.6 V (0x03)
    EXPECT_EQ(vid_read(0x0A), 0xFF);  // AGP 1.5 V (0xC0), no add-on (0x38)
    EXPECT_DOUBLE_EQ(world.vdimm, 2.63);

    vid_write(0x06, 0x0A);  // DIMM 2.77 V, Vdd 1.8 V
    vid_write(0x0A, 0x78);  // AGP 1.7 V
    EXPECT_DOUBLE_EQ(world.vdimm, 2.77);
    EXPECT_DOUBLE_EQ(world.vdd, 1.8);
    EXPECT_DOUBLE_EQ(world.vagp, 1.7);
    EXPECT_DOUBLE_EQ(world.vcore, 1.65);

    vid_write(0x06, 0x0C);  // Vdd code 0 selects nothing on this board: rail unchanged
    EXPECT_DOUBLE_EQ(world.vdimm, 2.9);
    EXPECT_DOUBLE_EQ(world.vdd, 1.8);

    // A board without selectors: the GPIO bits drive nothing.
    SimWorld asus_world;
    Atxp1 asus(asus_world, *sim_profile(2));
    bus1.attach(0x4E, &asus);
    EXPECT_EQ(smbus_write_byte(1, 0x4E, 0x0A, 0x00), 0);
    EXPECT_EQ(smbus_write_byte(1, 0x4E, 0x06, 0x00), 0);
    EXPECT_DOUBLE_EQ(asus_world.vcore, 1.65);
    EXPECT_DOUBLE_EQ(asus_world.vdimm, SimWorld{}.vdimm);
    EXPECT_DOUBLE_EQ(asus_world.vagp, SimWorld{}.vagp);
}

TEST_F(SimSmbus, Lm90ReportsIdsTemperaturesAndRate) {
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0xFE), 0x01);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0xFF), 0x21);

    world.cpu_temp_c = 47.6;
    world.sys_temp_c = -3.4;
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x01), 48);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x00), 0xFD);
    world.cpu_temp_c = 300.0;
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x01), 127);

    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x04), 0x08);
    EXPECT_EQ(smbus_write_byte(1, kLm90, 0x0A, 5), 0);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x04), 5);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x0A), 0xFF);  // write-only address
    EXPECT_TRUE(world.faults.empty());
    EXPECT_EQ(smbus_write_byte(1, kLm90, 0x0D, 0x50), 0);  // the remote high limit
    EXPECT_EQ(world.faults, Strings{"LM90: write of 0x50 to register 0x0d, neither "
                                    "configuration nor conversion rate"});

    // A chip that stops answering after a number of transactions keeps that count in its
    // state, so a run of the program meets it.
    lm90.fail_after(2);
    StateSection saved;
    lm90.save(saved);
    Lm90 again(world);
    SimLoadReport report;
    again.load(saved, report);
    bus1.attach(kLm90, &again);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0xFE), 0x01);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0xFE), 0x01);
    uint8_t value = 0;
    EXPECT_FALSE(smbus_read_byte_checked(1, kLm90, 0xFE, value));
    EXPECT_TRUE(report.problems.empty());
}

TEST_F(SimSmbus, StateSurvivesSaveAndLoad) {
    vid_write(0x00, 0x2A);
    vid_write(0x06, 0x0A);
    ASSERT_EQ(smbus_write_byte(1, kLm90, 0x0A, 3), 0);
    ASSERT_EQ(smbus_write_byte(0, kMs3, 0x00, 0x07), 0);  // enable clear: the CPU's pins
    EXPECT_EQ(smbus_read_byte(0, 0x50, 0x00), 0);         // leaves bus 0 with an error status

    StateSection s0, s1, sa, sl, sm;
    bus0.save(s0);
    bus1.save(s1);
    atxp1.save(sa);
    lm90.save(sl);
    ms3.save(sm);

    SimWorld world2, msi_world2;
    SmbusHost host0(world2, 0x5000), host1(world2, 0x5100);
    Atxp1 atxp1b(world2, epox);
    Lm90 lm90b(world2);
    Ms3 ms3b(msi_world2, msi);
    SimLoadReport report;
    host0.load(s0, report);
    host1.load(s1, report);
    atxp1b.load(sa, report);
    lm90b.load(sl, report);
    ms3b.load(sm, report);
    EXPECT_EQ(report.problems, Strings{});
    EXPECT_NEAR(world2.vcore, 1.60, 1e-9);
    EXPECT_DOUBLE_EQ(world2.vdd, 1.8);

    host0.attach(kAtxp1, &atxp1b);
    host0.attach(kMs3, &ms3b);
    host1.attach(kLm90, &lm90b);
    HostPorts restored{host0, host1};
    EXPECT_EQ(restored.in8(0x5001), bus0.in(0x5001, 1));
    install_port_backend(&restored);
    EXPECT_EQ(vid_read(0x00), 0x2A);
    EXPECT_EQ(vid_read(0x06), 0x0A);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x04), 3);
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x00), 0x07);
    EXPECT_EQ(smbus_read_byte(0, kMs3, 0x0C), 0x28);
    EXPECT_DOUBLE_EQ(msi_world2.vcore, 1.65);
}

TEST_F(SimSmbus, DamagedSectionsLoadPowerOnValuesAndSayWhy) {
    vid_write(0x00, 0x2A);
    StateSection host, chip, sensor, ms;
    host.set("protocol", "0x07");
    host.set("status", "0x100");
    host.set("command", "seven");
    host.set("data", "");
    chip.set("registers", "2a 00 00");
    chip.set("acknowledge", "2");
    sensor.set("config", "0x40");
    sensor.set("conversion_rate", "-1");
    ms.set("registers", "zz zz zz zz zz zz zz zz zz zz zz zz zz zz zz zz");

    SimLoadReport report;
    bus0.load(host, report);
    atxp1.load(chip, report);
    lm90.load(sensor, report);
    ms3.load(ms, report);
    EXPECT_EQ(report.problems,
              (Strings{"SMBUS0: status missing or invalid, power-on value used",
                       "SMBUS0: address missing or invalid, power-on value used",
                       "SMBUS0: command missing or invalid, power-on value used",
                       "SMBUS0: data missing or invalid, power-on value used",
                       "ATXP1: registers missing or invalid, power-on value used",
                       "ATXP1: acknowledge invalid, power-on value used",
                       "LM90: conversion_rate missing or invalid, power-on value used",
                       "MS3: registers missing or invalid, power-on value used"}));

    EXPECT_EQ(port_in8(0x5000), 0x07);
    EXPECT_EQ(vid_read(0x00), 0x28);
    EXPECT_DOUBLE_EQ(world.vcore, 1.65);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x03), 0x40);
    EXPECT_EQ(smbus_read_byte(1, kLm90, 0x04), 0x08);
    EXPECT_NE(smbus_read_byte(0, kMs3, 0x0D), 0x00);
}

}  // namespace
