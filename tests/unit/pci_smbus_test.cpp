// SPDX-License-Identifier: GPL-2.0-or-later
// PCI configuration and SMBus transactions, access by access, against the scripted ports.
#include <gtest/gtest.h>

#include <vector>

#include "helpers/temp_dir.h"
#include "hw/pci.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "platform/clock.h"

namespace {

using Accesses = std::vector<PortAccess>;

class Ports : public ::testing::Test {
  protected:
    Ports() {
        install_port_backend(&ports);
        install_clock(&clock);
    }
    ~Ports() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    TempWorkDir dir;
    ScriptedPortBackend ports;
    VirtualClock clock;
};

TEST_F(Ports, PciReadsSetTheAddressAndReadTheirByteLane) {
    uint32_t cell = 0xDEADBEEF;
    ports.defaults[0xCFC] = 0x70558000;
    EXPECT_EQ(pci_config_read(0, 0, 1, 0x90, cell, 4), 1);
    EXPECT_EQ(cell, 0x70558000u);
    EXPECT_EQ(ports.accesses, (Accesses{out(4, 0xCF8, 0x80000190), in(4, 0xCFC, 0x70558000)}));

    // A byte is zero-extended; a word keeps the cell's upper half.
    ports.accesses.clear();
    ports.defaults[0xCFF] = 0xAB;
    ports.defaults[0xCFE] = 0x1234;
    EXPECT_EQ(pci_config_read(0, 0, 0, 0xF3, cell, 1), 1);
    EXPECT_EQ(cell, 0xABu);
    cell = 0xCAFE0000;
    EXPECT_EQ(pci_config_read(0, 0, 5, 0x4A, cell, 2), 1);
    EXPECT_EQ(cell, 0xCAFE1234u);
    EXPECT_EQ(ports.accesses, (Accesses{out(4, 0xCF8, 0x800000F0), in(1, 0xCFF, 0xAB),
                                        out(4, 0xCF8, 0x80000548), in(2, 0xCFE, 0x1234)}));
}

TEST_F(Ports, PciWritesClearTheAddressRegisterAfterwards) {
    EXPECT_EQ(pci_config_write(0, 30, 0, 0x1B, 0x12345640, 1), 1);
    EXPECT_EQ(pci_config_write(0, 0, 0, 0xA2, 0xFFFF0010, 2), 1);
    EXPECT_EQ(pci_config_write(0, 0, 0, 0xA4, 0x0010FB2F, 4), 1);
    EXPECT_EQ(ports.accesses,
              (Accesses{out(4, 0xCF8, 0x8000F018), out(1, 0xCFF, 0x40), out(4, 0xCF8, 0),
                        out(4, 0xCF8, 0x800000A0), out(2, 0xCFE, 0x0010), out(4, 0xCF8, 0),
                        out(4, 0xCF8, 0x800000A4), out(4, 0xCFC, 0x0010FB2F), out(4, 0xCF8, 0)}));
}

TEST_F(Ports, PciRefusesOtherWidthsAfterWritingTheAddress) {
    uint32_t cell = 7;
    EXPECT_EQ(pci_config_read(0, 0, 0, 0x48, cell, 3), 0);
    EXPECT_EQ(pci_config_write(0, 0, 0, 0x48, 1, 0), 0);
    EXPECT_EQ(cell, 7u);
    EXPECT_EQ(ports.accesses, (Accesses{out(4, 0xCF8, 0x80000048), out(4, 0xCF8, 0x80000048)}));
    // Device and function bits beyond their fields are dropped.
    EXPECT_EQ(pci_config_address(1, 0xFF, 0xFF, 0xFF), 0x8001FFFCu);
}

TEST_F(Ports, SmbusReadAddressesTheSlaveWaitsAndReadsOnlyWhenDone) {
    ports.script[0x5101] = {0x80};
    ports.defaults[0x5104] = 0x0D;
    EXPECT_EQ(smbus_read_byte(1, 0x37, 0), 0x0D);
    EXPECT_EQ(ports.accesses,
              (Accesses{out(1, 0x5103, 0x00), out(1, 0x5102, 0x6E), out(1, 0x5100, 0x07),
                        in(1, 0x5101, 0x80), in(1, 0x5104, 0x0D)}));
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{50});

    // Done bit clear: 0, and the data register is not read.
    ports.accesses.clear();
    ports.script[0x5001] = {0x7F};
    EXPECT_EQ(smbus_read_byte(0, 0x9B, 0x0C), 0);
    EXPECT_EQ(ports.accesses, (Accesses{out(1, 0x5003, 0x0C), out(1, 0x5002, 0x36),
                                        out(1, 0x5000, 0x07), in(1, 0x5001, 0x7F)}));
}

TEST_F(Ports, SmbusSucceedsOnlyWhenDoneWithOutcomeCodeZero) {
    ports.defaults[0x5004] = 0x5A;  // a stale byte from an earlier transaction
    const struct {
        uint8_t status;
        bool ok;
    } cases[] = {{0x80, true},  {0xA0, true},  {0x90, false},  // done, nobody acknowledged
                 {0x82, false}, {0x9F, false}, {0x00, false},  // not done
                 {0x10, false}, {0x7F, false}};
    for (const auto& c : cases) {
        ports.script[0x5001] = {c.status, c.status, c.status};
        uint8_t value = 0xEE;
        EXPECT_EQ(smbus_read_byte_checked(0, 0x37, 0, value), c.ok) << int(c.status);
        EXPECT_EQ(value, c.ok ? 0x5A : 0xEE) << int(c.status);
        EXPECT_EQ(smbus_read_byte(0, 0x37, 0), c.ok ? 0x5A : 0) << int(c.status);
        EXPECT_EQ(smbus_write_byte(0, 0x37, 0, 0x2A), c.ok ? 0 : 1) << int(c.status);
    }

    // Blocked hosts fail at once and touch no port.
    ports.accesses.clear();
    clock.sleeps.clear();
    smbus_block_access(true);
    uint8_t value = 0;
    EXPECT_FALSE(smbus_read_byte_checked(1, 0x37, 0, value));
    EXPECT_EQ(smbus_write_byte(1, 0x37, 0, 1), 1);
    smbus_block_access(false);
    EXPECT_TRUE(ports.accesses.empty());
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(Ports, SmbusWriteSendsDataBeforeTheProtocolAndReportsTheDoneBit) {
    ports.script[0x5001] = {0x80, 0x00};
    EXPECT_EQ(smbus_write_byte(0, 0x4E, 0x00, 0x2D), 0);
    EXPECT_EQ(smbus_write_byte(0, 0x4E, 0x06, 0x11), 1);
    EXPECT_EQ(ports.accesses,
              (Accesses{out(1, 0x5003, 0x00), out(1, 0x5002, 0x9C), out(1, 0x5004, 0x2D),
                        out(1, 0x5000, 0x06), in(1, 0x5001, 0x80), out(1, 0x5003, 0x06),
                        out(1, 0x5002, 0x9C), out(1, 0x5004, 0x11), out(1, 0x5000, 0x06),
                        in(1, 0x5001, 0x00)}));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{50, 50}));
}

TEST_F(Ports, SmbusHostsBeyondTheSecondAreRefusedWithoutAPortAccess) {
    EXPECT_EQ(smbus_read_byte(2, 0x37, 0), 0);
    EXPECT_EQ(smbus_write_byte(255, 0x37, 0, 1), 1);
    EXPECT_TRUE(ports.accesses.empty());
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(read_file("velmora.deb"), "I2C-WIN: No SMBus host 2\nI2C-WIN: No SMBus host 255\n");
}

}  // namespace
