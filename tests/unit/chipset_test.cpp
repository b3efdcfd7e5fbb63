// SPDX-License-Identifier: GPL-2.0-or-later
// Chipset options and RAM timings: register by register against the scripted ports, and the
// simulated chipset taking them.
#include "board/chipset.h"

#include <gtest/gtest.h>

#include <vector>

#include "helpers/temp_dir.h"
#include "hw/pci.h"
#include "hw/scripted_port_backend.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

using Accesses = std::vector<PortAccess>;

// What the chipset's registers hold, as the reads of read_chipset_settings see them.
struct Registers {
    uint32_t revision = 0xC1;         // 00:00.0 0x08
    uint32_t fid = 0x25;              // 00:00.0 0xF3: code 2
    uint32_t precharge = 0xFFFFFF00;  // 00:00.1 0x86 as a dword: the byte at 0x86 is 0
    uint32_t cpu_ctrl = 0x12345678;   // 00:00.0 0x6C: bit 28 set
    uint32_t sba = 0xF2;              // 00:00.0 0x49
    uint32_t aperture = 0xF8;         // 00:00.0 0x80: 8 x 32 MB
    uint32_t pci_latency = 0x20;      // 00:08.0 0x1B
    uint32_t agp_latency = 0x40;      // 00:1e.0 0x1B
    uint32_t agp_ctr_latency = 0x10;  // 00:1e.0 0x0D
    uint32_t timing = 0x70558000;     // 00:00.1 0x90: Tras 11, Trcd 5, Trp 7
};

uint16_t data_port(uint8_t reg) {
    return static_cast<uint16_t>(0xCFC + (reg & 3));
}
void read_reg(Accesses& a, uint8_t dev, uint8_t fn, uint8_t reg, uint8_t width, uint32_t value) {
    a.push_back(out(4, 0xCF8, pci_config_address(0, dev, fn, reg)));
    a.push_back(in(width, data_port(reg), value));
}
void write_reg(Accesses& a, uint8_t dev, uint8_t fn, uint8_t reg, uint8_t width, uint32_t value) {
    a.push_back(out(4, 0xCF8, pci_config_address(0, dev, fn, reg)));
    a.push_back(out(width, data_port(reg), value));
    a.push_back(out(4, 0xCF8, 0));
}

// The twelve reads of read_chipset_settings, in order.
Accesses reads_of(const Registers& r) {
    Accesses a;
    read_reg(a, 0, 0, 0x08, 1, r.revision);
    read_reg(a, 0, 0, 0xF3, 1, r.fid);
    read_reg(a, 0, 1, 0x86, 4, r.precharge);
    read_reg(a, 0, 0, 0x6C, 4, r.cpu_ctrl);
    read_reg(a, 0, 0, 0x49, 1, r.sba);
    read_reg(a, 0, 0, 0x80, 1, r.aperture);
    read_reg(a, 8, 0, 0x1B, 1, r.pci_latency);
    read_reg(a, 30, 0, 0x1B, 1, r.agp_latency);
    read_reg(a, 30, 0, 0x0D, 1, r.agp_ctr_latency);
    for (int i = 0; i < 3; ++i)
        read_reg(a, 0, 1, 0x90, 4, r.timing);
    return a;
}

class Chipset : public ::testing::Test {
  protected:
    Chipset() {
        chipset_reset_state();
        install_port_backend(&ports);
        install_clock(&clock);
    }
    ~Chipset() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
        chipset_reset_state();
    }
    // Queues the answers of one read_chipset_settings.
    void script(const Registers& r) {
        for (const PortAccess& a : reads_of(r))
            if (a.dir == PortAccess::Dir::In)
                ports.script[a.port].push_back(a.value);
    }
    std::vector<PortAccess> writes() const {
        std::vector<PortAccess> w;
        for (const PortAccess& a : ports.accesses)
            if (a.dir == PortAccess::Dir::Out && a.port != 0xCF8)
                w.push_back(a);
        return w;
    }

    TempWorkDir dir;
    ScriptedPortBackend ports;
    VirtualClock clock;
};

TEST_F(Chipset, ReadDecodesEveryRegisterInTableOrder) {
    const Registers hw;
    script(hw);
    ChipsetSettings s;
    s.spare = 9;
    EXPECT_EQ(read_chipset_settings(&s), 1);
    EXPECT_EQ(ports.accesses, reads_of(hw));
    // Only the byte at 0x86 counts for auto-precharge; the spare byte is always 0.
    EXPECT_EQ(s, (ChipsetSettings{0xC1, 2, 0, 1, 1, 8, 0x20, 0x40, 0x10, 11, 5, 7, 0}));

    ports.accesses.clear();
    EXPECT_EQ(read_chipset_settings(nullptr), 0);
    EXPECT_EQ(write_chipset_settings(nullptr), 0);
    EXPECT_TRUE(ports.accesses.empty());
}

TEST_F(Chipset, WritingTheRecordLastReadOnlyReadsItBack) {
    const Registers hw;
    script(hw);
    script(hw);
    ChipsetSettings s;
    read_chipset_settings(&s);
    ports.accesses.clear();
    ChipsetSettings same = s;
    EXPECT_EQ(write_chipset_settings(&same), 1);
    EXPECT_EQ(ports.accesses, reads_of(hw));
}

TEST_F(Chipset, ChangedFieldsAreWrittenInOrderEachAfterItsOwnReadKeepingTheOtherBits) {
    const Registers hw;
    script(hw);
    ChipsetSettings s;
    read_chipset_settings(&s);
    ports.accesses.clear();
    // Answers of the reads before the writes; the re-read afterwards gets the defaults.
    ports.script[0xCFE] = {0xFFFFFF00};
    // Trcd's field (bits 23-20) holds 0xD and Trp's (31-28) 0xF: their top bits differ from
    // the values written.
    ports.script[0xCFC] = {0x12345678, 0x70D58000, 0x70D78000, 0xF0378000};
    ports.script[0xCFD] = {0xF2};

    s.auto_precharge = 2;  // any non-zero value sets the bit
    s.stpgnt = 0;
    s.agp_sba = 0;
    s.agp_aperture = 4;
    s.pci_bus_latency = 0x40;
    s.agp_bus_latency = 0x20;
    s.tras = 15;
    s.trcd = 3;
    s.trp = 2;
    EXPECT_EQ(write_chipset_settings(&s), 1);

    Accesses expected;
    read_reg(expected, 0, 1, 0x86, 4, 0xFFFFFF00);
    write_reg(expected, 0, 1, 0x86, 1, 0x02);  // the byte alone
    read_reg(expected, 0, 0, 0x6C, 4, 0x12345678);
    write_reg(expected, 0, 0, 0x6C, 4, 0x02345678);
    read_reg(expected, 0, 0, 0x49, 1, 0xF2);
    write_reg(expected, 0, 0, 0x49, 1, 0xF0);
    write_reg(expected, 0, 0, 0x80, 1, 0x0C);  // whole byte, no read first
    write_reg(expected, 8, 0, 0x1B, 1, 0x40);
    write_reg(expected, 30, 0, 0x1B, 1, 0x20);
    read_reg(expected, 0, 1, 0x90, 4, 0x70D58000);
    write_reg(expected, 0, 1, 0x90, 4, 0x70D78000);  // Tras 15
    read_reg(expected, 0, 1, 0x90, 4, 0x70D78000);
    write_reg(expected, 0, 1, 0x90, 4, 0x70378000);  // Trcd 3
    read_reg(expected, 0, 1, 0x90, 4, 0xF0378000);
    write_reg(expected, 0, 1, 0x90, 4, 0x20378000);  // Trp 2
    // Then the twelve reads back.
    ASSERT_EQ(ports.accesses.size(), expected.size() + 24);
    EXPECT_EQ(Accesses(ports.accesses.begin(), ports.accesses.begin() + expected.size()), expected);
    EXPECT_EQ(s.tras, 31);  // the record now holds what the (scripted) registers report
}

TEST_F(Chipset, ValuesTheRegistersCannotHoldAreNotWritten) {
    const Registers hw;
    script(hw);
    script(hw);
    script(hw);
    ChipsetSettings s;
    read_chipset_settings(&s);
    const ChipsetSettings as_read = s;

    s.tras = 0;
    s.trcd = 8;
    s.trp = 0;
    s.agp_aperture = 16;  // 512 MB
    EXPECT_EQ(write_chipset_settings(&s), 1);
    s.tras = 32;
    s.trp = 8;
    EXPECT_EQ(write_chipset_settings(&s), 1);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(s, as_read);  // what the hardware still holds
}

TEST(ChipsetFid, MultiplierCodesMapToTheProcessorsMultipliers) {
    EXPECT_EQ(fid_to_multiplier(0), 11.0);
    EXPECT_EQ(fid_to_multiplier(1), 11.5);
    EXPECT_EQ(fid_to_multiplier(2), 12.0);
    EXPECT_EQ(fid_to_multiplier(3), 12.5);
    EXPECT_EQ(fid_to_multiplier(4), 5.0);
    EXPECT_EQ(fid_to_multiplier(8), 7.0);  // code 0 but for its top bit
    EXPECT_EQ(fid_to_multiplier(13), 9.5);
    EXPECT_EQ(fid_to_multiplier(15), 10.5);
    EXPECT_EQ(fid_to_multiplier(0x32), 12.0);  // only the low nibble is the code
}

TEST_F(Chipset, TheSimulatedChipsetTakesNewSettingsAndReportsThemBack) {
    SimMachine machine(*sim_profile(7));
    machine.set_cpu_load(0.0);
    install_port_backend(&machine);

    ChipsetSettings s;
    ASSERT_EQ(read_chipset_settings(&s), 1);
    EXPECT_EQ(s, (ChipsetSettings{0xC1, 0, 0, 0, 0, 4, 0x20, 0x20, 0x20, 11, 5, 7, 0}));
    EXPECT_EQ(fid_to_multiplier(s.fid), machine.world().multiplier);

    const ChipsetSettings want{0xC1, 0, 1, 1, 1, 2, 0x40, 0x30, 0x48, 6, 3, 2, 0};
    ChipsetSettings written = want;
    ASSERT_EQ(write_chipset_settings(&written), 1);
    EXPECT_EQ(written, want);
    ChipsetSettings again;
    read_chipset_settings(&again);
    EXPECT_EQ(again, want);
    uint32_t timing = 0;
    pci_config_read(0, 0, 1, 0x90, timing, 4);
    EXPECT_EQ(timing, 0x20330000u);

    // Each timing's last legal values, at both ends, are written and read back.
    for (const uint8_t edge : {31, 1}) {
        ChipsetSettings timings = again;
        timings.tras = edge;
        timings.trcd = timings.trp = edge == 31 ? 7 : 1;
        ChipsetSettings taken = timings;  // comes back as the chipset holds it
        ASSERT_EQ(write_chipset_settings(&taken), 1);
        EXPECT_EQ(taken, timings) << int(edge);
    }

    // And the switches off again.
    again.auto_precharge = again.stpgnt = again.agp_sba = 0;
    write_chipset_settings(&again);
    EXPECT_EQ(again.auto_precharge + again.stpgnt + again.agp_sba, 0);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
    install_port_backend(&ports);
}

}  // namespace
