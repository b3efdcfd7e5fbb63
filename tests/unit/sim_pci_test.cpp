// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated nForce2 PCI functions, driven through velmora's own configuration access.
#include <gtest/gtest.h>

#include <string>

#include "board/fsb.h"
#include "helpers/temp_dir.h"
#include "hw/pci.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "sim/nforce2_pci.h"

namespace {

// An I/O bus with one device on it; every other port floats.
class OneDeviceBus : public PortBackend {
  public:
    explicit OneDeviceBus(SimIoDevice& device) : device_(device) {}
    uint8_t in8(uint16_t port) override { return static_cast<uint8_t>(read(port, 1)); }
    uint16_t in16(uint16_t port) override { return static_cast<uint16_t>(read(port, 2)); }
    uint32_t in32(uint16_t port) override { return read(port, 4); }
    void out8(uint16_t port, uint8_t value) override { write(port, 1, value); }
    void out16(uint16_t port, uint16_t value) override { write(port, 2, value); }
    void out32(uint16_t port, uint32_t value) override { write(port, 4, value); }

  private:
    uint32_t read(uint16_t port, int width) {
        return device_.decodes(port) ? device_.in(port, width) : 0xFFFFFFFFu;
    }
    void write(uint16_t port, int width, uint32_t value) {
        if (device_.decodes(port))
            device_.out(port, width, value);
    }
    SimIoDevice& device_;
};

SimProfile test_profile(uint32_t boot_fsb_hz, uint8_t fid_code) {
    SimProfile p{};
    p.name = "test board";
    p.boot_fsb_hz = boot_fsb_hz;
    p.fid_code = fid_code;
    return p;
}

uint32_t cfg(uint8_t device, uint8_t function, uint8_t reg, int width) {
    uint32_t value = 0;
    pci_config_read(0, device, function, reg, value, width);
    return value;
}

void set_cfg(uint8_t device, uint8_t function, uint8_t reg, uint32_t value, int width) {
    pci_config_write(0, device, function, reg, value, width);
}

// The PLL value velmora's board code chooses for an FSB: the largest M, and for it the
// largest N, that give exactly that FSB.
uint32_t pll_for(int mhz) {
    uint32_t found = 0;
    for (uint32_t m = 1; m <= 128; ++m)
        for (uint32_t n = 1; n <= 254; ++n)
            if (nforce2_pll_to_fsb(n << 8 | m) == mhz)
                found = 0x00100000 | n << 8 | m;
    return found;
}

// One 1 MHz step as velmora makes it.
void write_pll(uint32_t value) {
    set_cfg(0, 0, NF2_HOST_PLL_CTRL, 0, 4);
    for (int i = 0; i < 64; ++i)
        set_cfg(0, 0, NF2_HOST_PLL_VALUE, value, 4);
}

// Takes the PLL over at the running FSB and steps to `to`.
void step_fsb(int from, int to) {
    write_pll(pll_for(from));
    set_cfg(0, 0, NF2_HOST_PLL_OVERRIDE, 1, 1);
    for (int f = from; f <= to; ++f)
        write_pll(pll_for(f));
    set_cfg(0, 0, NF2_HOST_PLL_CTRL, 0x40, 4);
}

class SimPci : public ::testing::Test {
  protected:
    SimPci() {
        install_port_backend(&bus);
        install_clock(&clock);
    }
    ~SimPci() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    TempWorkDir dir;
    VirtualClock clock;
    SimProfile profile = test_profile(166666666, 2);
    SimWorld world;
    Nforce2Pci pci{world, profile};
    OneDeviceBus bus{pci};
};

TEST_F(SimPci, FunctionsAnswerWithTheirIdsAndBootValuesAndAbsentOnesFloat) {
    EXPECT_EQ(cfg(0x00, 0, 0x00, 4), 0x01E010DEu);
    EXPECT_EQ(cfg(0x00, 1, 0x00, 4), 0x01EB10DEu);
    EXPECT_EQ(cfg(0x00, 5, 0x00, 4), 0x01EF10DEu);
    EXPECT_EQ(cfg(0x08, 0, 0x00, 4), 0x006C10DEu);
    EXPECT_EQ(cfg(0x1E, 0, 0x00, 4), 0x01E810DEu);
    EXPECT_EQ(cfg(0x00, 2, 0x00, 4), 0xFFFFFFFFu);
    uint32_t other_bus = 0;
    pci_config_read(1, 0, 0, 0x00, other_bus, 2);
    EXPECT_EQ(other_bus, 0xFFFFu);

    EXPECT_EQ(cfg(0, 0, 0x08, 1), 0xC1u);
    EXPECT_EQ(cfg(0, 0, NF2_HOST_FID, 1) >> 4, 2u);
    EXPECT_EQ(cfg(0, 5, NF2_CLK_BOOT_FSB, 4), 166666666u);
    EXPECT_EQ(16 - (cfg(0, 0, NF2_HOST_APERTURE, 1) & 0x0F), 4u);
    EXPECT_EQ(cfg(0x08, 0, NF2_BRIDGE_SEC_LATENCY, 1), 32u);
    EXPECT_EQ(cfg(0x1E, 0, NF2_BRIDGE_LATENCY, 1), 32u);
    EXPECT_EQ(cfg(0x1E, 0, NF2_BRIDGE_SEC_LATENCY, 1), 32u);
    EXPECT_EQ(world.fsb_mhz, 166.0);
    EXPECT_EQ(world.multiplier, 12.0);
}

TEST_F(SimPci, DataWindowLanesReachTheirBytesOnlyWhileEnabled) {
    const uint32_t timing = cfg(0, 1, NF2_MEM_TIMING, 4);
    EXPECT_EQ(timing, 0x70558000u);
    EXPECT_EQ((timing >> 15) & 0x1F, 11u);
    EXPECT_EQ((timing >> 20) & 0x0F, 5u);
    EXPECT_EQ((timing >> 28) & 0x0F, 7u);
    EXPECT_EQ(cfg(0, 1, 0x91, 1), 0x80u);
    EXPECT_EQ(cfg(0, 1, 0x93, 1), 0x70u);
    EXPECT_EQ(cfg(0, 1, 0x92, 2), 0x7055u);

    set_cfg(0, 1, 0x93, 0x50, 1);
    set_cfg(0, 1, 0x90, 0x1234, 2);
    EXPECT_EQ(cfg(0, 1, NF2_MEM_TIMING, 4), 0x50551234u);

    // Auto-precharge is read four bytes wide at 0x86: the lanes past 0xCFF are other ports.
    set_cfg(0, 1, NF2_MEM_AUTO_PRECHARGE, 0x02, 1);
    EXPECT_EQ(cfg(0, 1, NF2_MEM_AUTO_PRECHARGE, 2), 0x0002u);
    EXPECT_EQ(cfg(0, 1, NF2_MEM_AUTO_PRECHARGE, 4), 0xFFFF0002u);

    port_out32(0x00000190, PCI_CONFIG_ADDRESS);
    EXPECT_EQ(port_in32(PCI_CONFIG_ADDRESS), 0x00000190u);
    EXPECT_EQ(port_in32(PCI_CONFIG_DATA), 0xFFFFFFFFu);
    port_out32(0, PCI_CONFIG_DATA);
    EXPECT_EQ(cfg(0, 1, NF2_MEM_TIMING, 4), 0x50551234u);
    EXPECT_TRUE(world.faults.empty());
}

TEST_F(SimPci, TakingOverThePllAndSteppingOneMhzMovesTheFsbWithoutFaults) {
    EXPECT_EQ(nforce2_pll_to_fsb(0x0010640F), 167);  // 100 x 25.06 / 15 = 167.07
    EXPECT_EQ(nforce2_pll_to_fsb(0x00106400), 0);
    EXPECT_EQ(pll_for(133), 0x0010FB2Fu);

    write_pll(pll_for(166));
    EXPECT_EQ(world.fsb_mhz, 166.0);  // the BIOS clock rules until the override is set
    set_cfg(0, 0, NF2_HOST_PLL_OVERRIDE, 1, 1);
    for (int f = 166; f <= 170; ++f) {
        write_pll(pll_for(f));
        EXPECT_EQ(world.fsb_mhz, f);
    }
    set_cfg(0, 0, NF2_HOST_PLL_CTRL, 0x40, 4);
    EXPECT_EQ(cfg(0, 0, NF2_HOST_PLL_OVERRIDE, 1), 1u);
    EXPECT_EQ(pci.running_fsb_mhz(), 170);
    EXPECT_TRUE(world.faults.empty());

    // A board that booted at 133 MHz takes the PLL value for 133 without a jump.
    SimProfile slow = test_profile(133333333, 13);
    SimWorld slow_world;
    Nforce2Pci slow_pci(slow_world, slow);
    OneDeviceBus slow_bus(slow_pci);
    install_port_backend(&slow_bus);
    write_pll(0x0010FB2F);
    set_cfg(0, 0, NF2_HOST_PLL_OVERRIDE, 1, 1);
    EXPECT_EQ(slow_world.fsb_mhz, 133.0);
    EXPECT_EQ(slow_world.multiplier, 9.5);
    EXPECT_TRUE(slow_world.faults.empty());
    install_port_backend(&bus);
}

TEST_F(SimPci, FsbJumpsAreRecordedOncePerWriteAndStillFollowed) {
    // The override switched on while the PLL holds another clock.
    write_pll(pll_for(200));
    set_cfg(0, 0, NF2_HOST_PLL_OVERRIDE, 1, 1);
    ASSERT_EQ(world.faults.size(), 1u);
    EXPECT_EQ(world.faults[0], "FSB jumped from 166 to 200 MHz in one PLL write");

    write_pll(pll_for(230));
    ASSERT_EQ(world.faults.size(), 2u);
    EXPECT_EQ(world.faults[1], "FSB jumped from 200 to 230 MHz in one PLL write");
    EXPECT_EQ(world.fsb_mhz, 230.0);
    EXPECT_NE(read_file("velmora.deb").find("SIM: FSB jumped from 200 to 230"), std::string::npos);

    // The program's own settings, 1 MHz apart, pass over the whole range; skipping one
    // whole MHz is a jump.
    world.faults.clear();
    for (int fsb = 230; fsb >= 50; --fsb)
        write_pll(find_pll(fsb));
    for (int fsb = 50; fsb <= 300; ++fsb)
        write_pll(find_pll(fsb));
    EXPECT_TRUE(world.faults.empty()) << world.faults.front();
    write_pll(find_pll(298));
    EXPECT_EQ(world.faults,
              std::vector<std::string>{"FSB jumped from 300 to 298 MHz in one PLL write"});
}

TEST_F(SimPci, WritesToReadOnlyOrMissingRegistersAreFaultsAndChangeNothing) {
    set_cfg(0, 5, NF2_CLK_BOOT_FSB, 200000000, 4);
    set_cfg(0, 0, NF2_HOST_FID, 0x50, 1);
    set_cfg(0, 0, 0x00, 0x12345678, 4);
    set_cfg(0, 0, 0x50, 0x01, 1);
    set_cfg(0, 0, 0x04, 0x0007, 2);  // command: harmless
    ASSERT_EQ(world.faults.size(), 4u);
    EXPECT_EQ(world.faults[0], "PCI write to 00:00.5 register 0x48 is read-only");
    EXPECT_EQ(world.faults[3], "PCI write to 00:00.0 register 0x50 not on this board");

    EXPECT_EQ(cfg(0, 5, NF2_CLK_BOOT_FSB, 4), 166666666u);
    EXPECT_EQ(cfg(0, 0, NF2_HOST_FID, 1), 0x20u);
    EXPECT_EQ(cfg(0, 0, 0x00, 4), 0x01E010DEu);
    EXPECT_EQ(cfg(0, 0, 0x50, 1), 0x00u);
    EXPECT_EQ(world.fsb_mhz, 166.0);
    EXPECT_EQ(world.multiplier, 12.0);
}

TEST_F(SimPci, StateSurvivesSaveAndLoadWithoutFaults) {
    set_cfg(0, 1, NF2_MEM_TIMING, 0x70578000, 4);
    set_cfg(0, 0, NF2_HOST_APERTURE, 0x0E, 1);
    set_cfg(0x1E, 0, NF2_BRIDGE_SEC_LATENCY, 64, 1);
    step_fsb(166, 168);
    StateSection saved;
    pci.save(saved);

    SimWorld fresh_world;
    Nforce2Pci fresh(fresh_world, profile);
    SimLoadReport report;
    fresh.load(saved, report);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_TRUE(fresh_world.faults.empty());
    EXPECT_EQ(fresh_world.fsb_mhz, 168.0);
    EXPECT_EQ(fresh_world.multiplier, 12.0);
    StateSection again;
    fresh.save(again);
    EXPECT_EQ(again.entries(), saved.entries());
}

TEST_F(SimPci, DamagedSectionKeepsPowerOnValuesAndReportsEachBadKey) {
    set_cfg(0x1E, 0, NF2_BRIDGE_SEC_LATENCY, 64, 1);
    step_fsb(166, 170);
    StateSection saved;
    pci.save(saved);
    StateSection damaged;
    for (const auto& [key, value] : saved.entries())
        if (key != "00:1e.0/0x1b")
            damaged.set(key, value);
    damaged.set("00:00.0/0xa8", "0x02");  // no such bit
    damaged.set("00:00.1/0x90", "tras 11");

    SimLoadReport report;
    pci.load(damaged, report);
    ASSERT_EQ(report.problems.size(), 3u);
    EXPECT_EQ(report.problems[0],
              "NFORCE2_PCI: 00:00.0/0xa8 missing or invalid, power-on value used");
    EXPECT_TRUE(world.faults.empty());
    EXPECT_EQ(world.fsb_mhz, 166.0);  // override off again: the boot clock
    EXPECT_EQ(cfg(0, 0, NF2_HOST_PLL_VALUE, 4), pll_for(170));
    EXPECT_EQ(cfg(0, 1, NF2_MEM_TIMING, 4), 0x70558000u);
    EXPECT_EQ(cfg(0x1E, 0, NF2_BRIDGE_SEC_LATENCY, 1), 32u);

    SimLoadReport empty_report;
    pci.load(StateSection{}, empty_report);
    EXPECT_FALSE(empty_report.problems.empty());
    EXPECT_EQ(cfg(0, 0, 0x00, 4), 0x01E010DEu);
}

}  // namespace
