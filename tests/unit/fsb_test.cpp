// SPDX-License-Identifier: GPL-2.0-or-later
// FSB and PLL: access by access against the scripted ports, and the clock of the simulated board.
#include "board/fsb.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "helpers/kernel_mode.h"
#include "helpers/temp_dir.h"
#include "hw/pci.h"
#include "hw/scripted_port_backend.h"
#include "hw/stop_request.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

using Accesses = std::vector<PortAccess>;

constexpr uint32_t kBoot166 = 166666666;  // Hz, as the BIOS leaves it in 00:00.5 register 0x48
constexpr uint32_t kPll140 = 0x0010FD2D;  // N 253, M 45: 140 MHz

// Port accesses of single host bridge (bus 0, device 0) configuration accesses.
void read_reg(Accesses& a, uint8_t fn, uint8_t reg, uint8_t width, uint32_t value) {
    a.push_back(out(4, 0xCF8, pci_config_address(0, 0, fn, reg)));
    a.push_back(in(width, static_cast<uint16_t>(0xCFC + (reg & 3)), value));
}
void write_reg(Accesses& a, uint8_t reg, uint8_t width, uint32_t value) {
    a.push_back(out(4, 0xCF8, pci_config_address(0, 0, 0, reg)));
    a.push_back(out(width, static_cast<uint16_t>(0xCFC + (reg & 3)), value));
    a.push_back(out(4, 0xCF8, 0));
}
void write_pll_accesses(Accesses& a, uint32_t pll) {
    write_reg(a, 0xA0, 4, 0);
    for (int i = 0; i < 64; ++i)
        write_reg(a, 0xA4, 4, pll);
}
// get_fsb with the override on: boot clock, flag, PLL value.
void get_fsb_from_pll(Accesses& a, uint32_t pll) {
    read_reg(a, 5, 0x48, 4, kBoot166);
    read_reg(a, 0, 0xA8, 1, 1);
    read_reg(a, 0, 0xA4, 4, pll);
}

class Fsb : public ::testing::Test {
  protected:
    Fsb() {
        fsb_reset_state();
        install_port_backend(&ports);
        install_clock(&clock);
    }
    ~Fsb() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
        fsb_reset_state();
    }
    // Every configuration read lands on 0xCFC here (all registers are dword-aligned): the
    // script answers them in order.
    void answer(std::initializer_list<uint32_t> values) { ports.script[0xCFC] = values; }

    TempWorkDir dir;
    ScriptedPortBackend ports;
    VirtualClock clock;
};

TEST(Pll, FsbIsTheTruncatedReferenceMultipleAndAZeroDividerGivesZero) {
    EXPECT_EQ(pll_to_fsb(0x85, 0x19), 133);
    EXPECT_EQ(pll_to_fsb(253, 38), 166);  // 166.85
    EXPECT_EQ(pll_to_fsb(254, 1), 6365);
    EXPECT_EQ(pll_to_fsb(0x85, 0), 0);
}

TEST(Pll, SearchTakesTheLargestDividerAndSettlesAtMostThreeMhzAbove) {
    EXPECT_EQ(find_pll(133), 0x0010FB2Fu);  // N 251, M 47
    EXPECT_EQ(find_pll(140), kPll140);
    // Between 50 and 300 MHz there is always an exact setting.
    for (int t = 50; t <= 300; ++t) {
        const uint32_t p = find_pll(t);
        EXPECT_EQ(p & 0xFFF00000u, 0x00100000u) << t;
        EXPECT_EQ(pll_to_fsb((p >> 8) & 0xFF, p & 0xFF), t) << t;
    }
    // Near the top of the PLL's range only N 254, M 1 (6365 MHz) is left within 3 MHz.
    EXPECT_EQ(find_pll(6362), 0x0010FE01u);
    EXPECT_EQ(find_pll(6361), 0u);
    EXPECT_EQ(find_pll(4000), 0u);
}

TEST_F(Fsb, ReadsTheBootClockUntilTakenOverAndAgainAfterANewBoot) {
    answer({kBoot166, 0,              // override off: boot clock
            kBoot166, 1, kPll140,     // taken over in this boot: the PLL
            200000000, 1,             // another boot clock: a new boot, the BIOS's clock
            200000000, 1, kPll140});  // now that boot is the one seen: the PLL again
    EXPECT_EQ(get_fsb(), 166);
    EXPECT_EQ(get_fsb(), 140);
    EXPECT_EQ(get_fsb(), 200);
    EXPECT_EQ(get_fsb(), 140);
    EXPECT_EQ(ports.accesses.size(), 20u);
}

TEST_F(Fsb, BothEndsOfTheRangeAreReachedAndOnePastThemTouchesNothing) {
    EXPECT_EQ(set_fsb(49), 2);
    EXPECT_EQ(set_fsb(301), 2);
    EXPECT_TRUE(ports.accesses.empty());
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(read_file("velmora.deb"),
              "NFORCE2: set_fsb(): FSB 49 out of range!\n"
              "NFORCE2: set_fsb(): FSB 301 out of range!\n");

    SimMachine machine(*sim_profile(7));
    machine.set_cpu_load(0.0);
    install_port_backend(&machine);
    for (int end : {50, 300}) {
        EXPECT_EQ(set_fsb(end), 0) << end;
        EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, end);
        EXPECT_EQ(get_fsb(), end);
    }
    install_port_backend(&ports);
}

TEST_F(Fsb, TheCurrentFsbWritesNoStepButStillCompletesAndATakeOverLoadsTheRunningClock) {
    // Override on at 140: nothing but the flag and the completion.
    answer({1, kBoot166, 1, kPll140});
    EXPECT_EQ(set_fsb(140), 0);
    Accesses expected;
    read_reg(expected, 0, 0xA8, 1, 1);
    write_reg(expected, 0xA8, 1, 1);
    get_fsb_from_pll(expected, kPll140);
    write_reg(expected, 0xA0, 4, 0x40);
    EXPECT_EQ(ports.accesses, expected);

    // Override off at the boot clock of 166: the PLL gets 166 first, then the flag.
    fsb_reset_state();
    ports.accesses.clear();
    const uint32_t pll166 = find_pll(166);
    answer({0, kBoot166, 0, kBoot166, 1, pll166});
    EXPECT_EQ(set_fsb(166), 0);
    expected.clear();
    read_reg(expected, 0, 0xA8, 1, 0);
    read_reg(expected, 5, 0x48, 4, kBoot166);
    read_reg(expected, 0, 0xA8, 1, 0);
    write_pll_accesses(expected, pll166);
    write_reg(expected, 0xA8, 1, 1);
    get_fsb_from_pll(expected, pll166);
    write_reg(expected, 0xA0, 4, 0x40);
    EXPECT_EQ(ports.accesses, expected);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(read_file("velmora.deb"),
              "NFORCE2: set_fsb(): Setting FSB to 140 done\n"
              "NFORCE2: set_fsb(): Setting FSB to 166 done\n");
}

TEST_F(Fsb, GoingDownFrom140To135WritesEveryMhzIncludingBothEnds) {
    answer({1, kBoot166, 1, kPll140, kBoot166, 1, kPll140});
    EXPECT_EQ(set_fsb(135), 0);
    Accesses expected;
    read_reg(expected, 0, 0xA8, 1, 1);
    write_reg(expected, 0xA8, 1, 1);
    get_fsb_from_pll(expected, kPll140);
    get_fsb_from_pll(expected, kPll140);
    for (int f = 140; f >= 135; --f)
        write_pll_accesses(expected, find_pll(f));
    write_reg(expected, 0xA0, 4, 0x40);
    EXPECT_EQ(ports.accesses, expected);
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(6, 150));  // (|d| + 1) x 150 ms
}

TEST_F(Fsb, AFailedSearchStopsWithTheOverrideOnAndTheLastStepInForce) {
    // The take-over cannot match a boot clock of 4000 MHz: nothing is written.
    answer({0, 4000000000u, 0});
    EXPECT_EQ(set_fsb(200), 1);
    Accesses expected;
    read_reg(expected, 0, 0xA8, 1, 0);
    read_reg(expected, 5, 0x48, 4, 4000000000u);
    read_reg(expected, 0, 0xA8, 1, 0);
    EXPECT_EQ(ports.accesses, expected);

    // Stepping down from the PLL's top (6365 MHz) finds settings down to 6362 only.
    fsb_reset_state();
    ports.accesses.clear();
    answer({1, kBoot166, 1, 0x0010FE01, kBoot166, 1, 0x0010FE01});
    EXPECT_EQ(set_fsb(300), 1);
    expected.clear();
    read_reg(expected, 0, 0xA8, 1, 1);
    write_reg(expected, 0xA8, 1, 1);
    get_fsb_from_pll(expected, 0x0010FE01);
    get_fsb_from_pll(expected, 0x0010FE01);
    for (int f = 6365; f >= 6362; --f)
        write_pll_accesses(expected, 0x0010FE01);
    EXPECT_EQ(ports.accesses, expected);  // no 0x40 to 0xA0
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(4, 150));
    EXPECT_EQ(read_file("velmora.deb"),
              "NFORCE2: set_fsb(): calc. fsb 4000 failed\n"
              "NFORCE2: set_fsb(): calc. fsb 6361 failed\n");
}

// Through the configuration ports, and through the kernel's configuration files.
TEST_F(Fsb, TheSimulatedClockFollowsUpAndDownWithoutAFault) {
    for (bool through_kernel : {false, true})
        for (int profile : {7, 0, 12}) {
            fsb_reset_state();
            clock.sleeps.clear();
            SimMachine machine(*sim_profile(profile));
            machine.set_cpu_load(0.0);
            install_port_backend(&machine);
            const KernelMode kernel(machine, through_kernel);
            EXPECT_EQ(pci_through_sysfs(), through_kernel);
            SimWorld& world = machine.world();

            EXPECT_EQ(get_fsb(), 166) << profile;
            EXPECT_EQ(set_fsb(200), 0) << profile;
            EXPECT_DOUBLE_EQ(world.fsb_mhz, 200.0) << profile;
            EXPECT_DOUBLE_EQ(world.cpu_mhz(), 200.0 * 11.0) << profile;
            EXPECT_EQ(get_fsb(), 200) << profile;
            uint32_t flag = 0;
            pci_config_read(0, 0, 0, 0xA8, flag, 1);
            EXPECT_EQ(flag, 1u) << profile;
            EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(35, 150)) << profile;  // 166..200

            clock.sleeps.clear();
            EXPECT_EQ(set_fsb(166), 0) << profile;
            EXPECT_DOUBLE_EQ(world.fsb_mhz, 166.0) << profile;
            EXPECT_DOUBLE_EQ(world.cpu_mhz(), 166.0 * 11.0) << profile;
            EXPECT_EQ(get_fsb(), 166) << profile;
            EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(35, 150)) << profile;
            EXPECT_TRUE(world.faults.empty()) << profile << ": " << world.faults.front();
            install_port_backend(&ports);
        }
}

// A signal that arrives during the wait after the fifth step.
class SignalAtFifthStep : public VirtualClock {
  public:
    void sleep_ms(uint32_t ms) override {
        VirtualClock::sleep_ms(ms);
        if (sleeps.size() == 5)
            request_stop(2);
    }
};

TEST_F(Fsb, AStopRequestEndsTheWalkAtTheStepJustWrittenEitherWay) {
    SimMachine machine(*sim_profile(7));
    machine.set_cpu_load(0.0);
    install_port_backend(&machine);
    const struct { int target, reached; } walks[] = {{200, 170}, {150, 166}};
    for (const auto& walk : walks) {
        SignalAtFifthStep signal;
        install_clock(&signal);
        EXPECT_EQ(set_fsb(walk.target), 3) << walk.target;
        clear_stop_request();
        EXPECT_EQ(get_fsb(), walk.reached);
        EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, walk.reached);
        uint32_t control = 0;
        pci_config_read(0, 0, 0, 0xA0, control, 4);
        EXPECT_EQ(control, 0x40u);  // the walk is marked done where it stopped
    }
    install_clock(&clock);
    EXPECT_EQ(read_file("velmora.deb"),
              "NFORCE2: set_fsb(): stopped at 170 MHz\nNFORCE2: set_fsb(): stopped at 166 MHz\n");
    EXPECT_TRUE(machine.world().faults.empty());
    install_port_backend(&ports);
}

}  // namespace
