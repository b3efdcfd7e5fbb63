// SPDX-License-Identifier: GPL-2.0-or-later
// The VID chip and the voltage setters: exact SMBus traffic against scripted ports, and what
// they do to the simulated boards' rails.
#include "board/voltage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "board/boards.h"
#include "board/vcore_sequence.h"
#include "board/vid_chip.h"
#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "helpers/kernel_mode.h"
#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/atxp1.h"
#include "sim/sim_machine.h"

namespace {

using Writes = std::vector<std::pair<int, int>>;  // (register, value)
using Sleeps = std::vector<uint32_t>;

constexpr int kEpox = 7, kA7n8x = 2, kDfi = 4, kMsi = 10, kGeneral = 14;

// Passes every access on to the simulated board and notes the core rail after each SMBus
// transaction: its highest value and its largest move in one write.
class RailProbe : public PortBackend {
  public:
    explicit RailProbe(SimMachine& m) : m_(m) { reset(); }
    void reset() {
        peak = last_ = m_.world().vcore;
        largest_move = 0.0;
    }
    uint8_t in8(uint16_t port) override { return m_.in8(port); }
    uint16_t in16(uint16_t port) override { return m_.in16(port); }
    uint32_t in32(uint16_t port) override { return m_.in32(port); }
    void out8(uint16_t port, uint8_t value) override {
        m_.out8(port, value);
        const double rail = m_.world().vcore;
        peak = std::max(peak, rail);
        largest_move = std::max(largest_move, std::fabs(rail - last_));
        last_ = rail;
    }
    void out16(uint16_t port, uint16_t value) override { m_.out16(port, value); }
    void out32(uint16_t port, uint32_t value) override { m_.out32(port, value); }

    double peak = 0.0, largest_move = 0.0;

  private:
    SimMachine& m_;
    double last_ = 0.0;
};

class VoltageTest : public ::testing::Test {
  protected:
    VoltageTest() {
        boards_init(boards);
        std::filesystem::remove(kDebugLogName);
        install_clock(&clock);
        install_port_backend(&ports);
        ports.defaults[0x5001] = ports.defaults[0x5101] = SMBUS_STATUS_DONE;
    }
    ~VoltageTest() override {
        kernel.reset();
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    // The board with its ATXP1 registers 0, 1, 2, 3, 4, 6 and 0x0A scripted for one read.
    Board scripted(int n, std::initializer_list<uint32_t> registers) {
        Board b = boards[n];
        b.chip.identified = true;  // the identifying reads are tested on their own
        ports.script[smbus_base(b.chip.bus) + SMBUS_REG_DATA] = registers;
        return b;
    }
    // The simulated board of the profile, reached through the ports or through the kernel's
    // drivers.
    SimMachine& boot(int n, bool through_kernel = false) {
        kernel.reset();
        machine = std::make_unique<SimMachine>(*sim_profile(n));
        machine->set_cpu_load(0.0);
        install_port_backend(machine.get());
        if (through_kernel)
            kernel = std::make_unique<KernelMode>(*machine, true);
        return *machine;
    }
    // Every SMBus write the scripted ports saw, completed or not.
    Writes writes() const {
        Writes w;
        int command = -1, data = -1;
        for (const PortAccess& a : ports.accesses) {
            const int reg = a.port & 0xFF;
            if (a.dir != PortAccess::Dir::Out)
                continue;
            if (reg == SMBUS_REG_COMMAND)
                command = a.value;
            else if (reg == SMBUS_REG_DATA)
                data = a.value;
            else if (reg == SMBUS_REG_PROTOCOL && a.value == SMBUS_PROTOCOL_WRITE_BYTE_DATA)
                w.emplace_back(command, data);
        }
        return w;
    }
    std::string log() const { return read_file(kDebugLogName); }

    TempWorkDir dir;
    std::vector<Board> boards;
    VirtualClock clock;
    ScriptedPortBackend ports;
    std::unique_ptr<SimMachine> machine;
    std::unique_ptr<KernelMode> kernel;
};

TEST_F(VoltageTest, SearchProbesEachAddressOnBusZeroThenOneAndRejects0And0xFF) {
    ports.defaults.clear();
    ports.default_value = 0;  // nobody acknowledges
    VidChip chip;
    EXPECT_EQ(vid_chip_search(chip), 0);
    std::vector<PortAccess> expected;
    for (auto [address, reg] : {std::pair{0x1B, 0x0D}, {0x37, 0x00}, {0x4E, 0x00}})
        for (uint16_t base : {0x5000, 0x5100})
            expected.insert(expected.end(), {out(1, base + 3, reg), out(1, base + 2, address << 1),
                                             out(1, base, 0x07), in(1, base + 1, 0)});
    EXPECT_EQ(ports.accesses, expected);
    EXPECT_EQ(chip.address, 0);
    EXPECT_EQ(log(), "ATXP1: Searching...\nATXP1: Not found\n");

    std::filesystem::remove(kDebugLogName);
    ports.defaults[0x5001] = ports.defaults[0x5101] = SMBUS_STATUS_DONE;
    ports.script[0x5004] = {0x00, 0xFF};  // 0x1B, then 0x37 on bus 0
    ports.script[0x5104] = {0xFF, 0x2A};  // 0x1B, then 0x37 on bus 1
    EXPECT_EQ(vid_chip_search(chip), 1);
    EXPECT_EQ(chip.bus, 1);
    EXPECT_EQ(chip.address, 0x37);
    EXPECT_EQ(log(), "ATXP1: Searching...\nATXP1: Found ATXP1 on bus 1, addr. 55\n");
}

// A device whose id registers read 0 but which has registers of its own at 0x10 and 0x11 is
// no ATXP1 either: the setter reads, finds out and writes nothing.
TEST_F(VoltageTest, ASetterIdentifiesTheChipBeforeItsFirstWrite) {
    Board epox = boards[kEpox];
    ports.script[0x5004] = {0, 0, 0, 0, 0x28, 0x28, 0x13};  // 0x3E 0x3F 0xFE 0xFF 0 0x10 0x11
    EXPECT_EQ(set_vcore(epox, 1.70), ERR_SMB_WRITE);
    EXPECT_TRUE(writes().empty());
    EXPECT_FALSE(epox.chip.identified);
    EXPECT_EQ(log(),
              "ATXP1: The device on bus 0, addr. 55 is no ATXP1, nothing is written to it\n");
}

TEST_F(VoltageTest, SearchFindsTheSimulatedChipsAndNothingOnAFloatingBus) {
    VidChip chip;
    boot(kGeneral);
    EXPECT_EQ(vid_chip_search(chip), 1);
    EXPECT_EQ(std::pair(chip.bus, chip.address), std::pair(uint8_t{1}, uint8_t{0x4E}));
    boot(kMsi);
    EXPECT_EQ(vid_chip_search(chip), 1);
    EXPECT_EQ(std::pair(chip.bus, chip.address), std::pair(uint8_t{0}, uint8_t{0x1B}));
    vid_chip_read_registers(chip);  // the MS-3's 0x0C and 0x0D land in entries 0 and 1
    EXPECT_EQ(std::pair(chip.registers[0], chip.registers[1]),
              std::pair(uint8_t{0x28}, uint8_t{0x41}));
    install_port_backend(nullptr);
    EXPECT_EQ(vid_chip_search(chip), 0);
    // Another device that answers at 0x4E is passed over: the search writes nothing to it.
    static_cast<Atxp1*>(boot(kGeneral).vid_chip())->set_other_device(true);
    chip = VidChip{};
    EXPECT_EQ(vid_chip_search(chip), 0);
    EXPECT_EQ(log(),
              "ATXP1: Searching...\nATXP1: Found ATXP1 on bus 1, addr. 78\n"
              "ATXP1: Searching...\nATXP1: Found MS-3 on bus 0, addr. 27\n"
              "ATXP1: Searching...\nATXP1: Not found\n"
              "ATXP1: Searching...\n"
              "ATXP1: The device on bus 1, addr. 78 is no ATXP1, nothing is written to it\n"
              "ATXP1: Not found\n");
}

TEST_F(VoltageTest, ReadRegistersMirrorsEachAtxp1RegisterUnderItsOwnNumber) {
    Board b = scripted(kEpox, {0x28, 0x08, 0x12, 0x13, 0x14, 0x07, 0xFF});
    b.chip.registers[5] = 0x55;
    vid_chip_read_registers(b.chip);
    std::vector<int> commands;
    for (const PortAccess& a : ports.accesses)
        if (a.dir == PortAccess::Dir::Out && a.port == 0x5003)
            commands.push_back(a.value);
    EXPECT_EQ(commands, (std::vector<int>{0, 1, 2, 3, 4, 6, 0x0A}));
    const uint8_t expected[16] = {0x28, 0x08, 0x12, 0x13, 0x14, 0x55, 0x07, 0, 0, 0, 0xFF};
    EXPECT_EQ(std::vector(b.chip.registers, b.chip.registers + 16),
              std::vector(expected, expected + 16));
    EXPECT_EQ(clock.sleeps, Sleeps(7, 50));

    ports.script[0x5001] = {0x00};
    EXPECT_EQ(vid_chip_write_register(b.chip, 6, 0x0B), ERR_SMB_WRITE);
    EXPECT_EQ(vid_chip_write_register(b.chip, 6, 0x0B), ERR_NONE);
}

TEST_F(VoltageTest, VidCodesAndVoltsConvertBothWaysWithoutClampingTheCode) {
    EXPECT_DOUBLE_EQ(vid_to_voltage(0x2A), 1.6);
    EXPECT_DOUBLE_EQ(vid_to_voltage(0xE0), 1.85);  // only the five code bits count
    EXPECT_EQ(voltage_to_vid(1.51), 14);
    EXPECT_EQ(voltage_to_vid(1.065), 31);
    EXPECT_EQ(voltage_to_vid(1.0625), 32);
    EXPECT_EQ(voltage_to_vid(1.9), -1);
}

TEST_F(VoltageTest, TableHelpersReadTheBoardsTables) {
    const Board& epox = boards[kEpox];
    const VoltageTable& add = epox.vcore_add;
    EXPECT_EQ(table_count(add), 8);
    EXPECT_DOUBLE_EQ(table_min(add), 0.0);
    EXPECT_DOUBLE_EQ(table_max(add), 0.35);
    EXPECT_EQ(table_index_of(add, 0.15), 3);
    EXPECT_EQ(table_index_of(add, 0.1 + 0.05), 0);                // not exactly 0.15
    EXPECT_DOUBLE_EQ(table_value_of_code(epox.vagp, 0x7F), 1.7);  // 0x7F & 0xC0 = 0x40
    Board b = epox;
    b.chip.registers[6] = 0x0B;
    EXPECT_DOUBLE_EQ(table_value_of_register(b, b.vdimm), 2.77);
    EXPECT_DOUBLE_EQ(table_value_of_register(b, b.vdd), 1.6);

    const VoltageTable& none = boards[kA7n8x].vdimm;
    EXPECT_EQ(table_count(none), 0);
    EXPECT_DOUBLE_EQ(table_max(none), 0.0);
    EXPECT_DOUBLE_EQ(table_value_of_register(b, none), 0.0);
    EXPECT_DOUBLE_EQ(table_min(boards[kDfi].vagp), 0.4);
    EXPECT_DOUBLE_EQ(table_max(boards[kDfi].vagp), 0.0);
}

TEST_F(VoltageTest, CodeOfValueTakesTheNearestTiesUpAndBelowHalfAStepTheLargestOffset) {
    const VoltageTable& add = boards[kEpox].vcore_add;
    EXPECT_EQ(table_code_of_value(add, 0.16), 0x20);
    EXPECT_EQ(table_code_of_value(add, 0.025), 0x30);  // tie between 0 and 0.05
    EXPECT_EQ(table_code_of_value(add, 0.02), 0x00);   // 0.35, the largest offset
    EXPECT_EQ(table_code_of_value(add, 0.5), 0x00);
    EXPECT_EQ(table_code_of_value(boards[kEpox].vdimm, 2.65), 0x04);
    EXPECT_EQ(table_code_of_value(boards[kA7n8x].vcore_add, 0.06), TABLE_NO_CODE);
    EXPECT_EQ(table_code_of_value(boards[kA7n8x].vcore_add, 0.0), 0);
    VoltageTable odd;  // a second value of 1 V or more: its integer part is the code
    odd.values[0] = 0.0;
    odd.values[1] = 258.9;
    odd.values[2] = TABLE_END;
    EXPECT_EQ(table_code_of_value(odd, 10.0), 2);
}

TEST_F(VoltageTest, EpoxReachesAbove185VoltsThroughItsAddOnBits) {
    SimMachine& m = boot(kEpox);
    Board b = boards[kEpox];
    EXPECT_EQ(set_vcore(b, 2.0), ERR_NONE);  // offset 0.15 + VID 0x20
    EXPECT_NEAR(m.world().vcore, 2.0, 1e-9);
    vid_chip_read_registers(b.chip);
    EXPECT_EQ(b.chip.registers[0], 0x20);
    EXPECT_EQ(b.chip.registers[0x0A], 0xE7);
    EXPECT_EQ(log(), "VELMORA: set_vcore(): >1.85 -> vdiff 0.160 -> e7\n");

    clock.advance(1000);
    EXPECT_EQ(set_vcore(b, 1.86), ERR_NONE);  // offset 0.35 + VID code 14
    vid_chip_read_registers(b.chip);
    EXPECT_EQ(b.chip.registers[0], 0x2E);
    EXPECT_EQ(b.chip.registers[0x0A] & 0x38, 0x00);
    EXPECT_NEAR(m.world().vcore, 1.85, 1e-9);

    clock.advance(1000);
    EXPECT_EQ(set_vcore(b, 1.6), ERR_NONE);  // no offset + VID code 10
    vid_chip_read_registers(b.chip);
    EXPECT_EQ(b.chip.registers[0], 0x2A);
    EXPECT_EQ(b.chip.registers[0x0A] & 0x38, 0x38);
    EXPECT_NEAR(m.world().vcore, 1.6, 1e-9);
    m.close_write_bursts();
    EXPECT_TRUE(m.world().faults.empty()) << m.world().faults.front();
}

TEST_F(VoltageTest, LargeChangesStepOneCode100MsApartAndSmallOnesWriteOnce) {
    Board b = scripted(kEpox, {0x20, 0, 0, 0, 0, 0x07, 0xFF});
    EXPECT_EQ(set_vcore(b, 1.70), ERR_NONE);  // the add-on already selects no offset
    EXPECT_EQ(
        writes(),
        (Writes{{0, 0x20}, {0, 0x21}, {0, 0x22}, {0, 0x23}, {0, 0x24}, {0, 0x25}, {0, 0x26}}));
    Sleeps expected(7, 50);  // register reads
    expected.push_back(50);  // pause before the VID changes
    for (int i = 0; i < 7; ++i)
        expected.insert(expected.end(), {50, 100});
    EXPECT_EQ(clock.sleeps, expected);

    ports.accesses.clear();
    clock.sleeps.clear();
    b = scripted(kEpox, {0x28, 0, 0, 0, 0, 0x07, 0xFF});
    EXPECT_EQ(set_vcore(b, 1.6), ERR_NONE);
    EXPECT_EQ(writes(), (Writes{{0, 0x2A}}));
    EXPECT_EQ(clock.sleeps, Sleeps(9, 50));

    // 1.80 -> 1.90 V: 0.05 V of VID change, but the add-on's 0.06 V counts too. The offset
    // rises first, as far as the target allows.
    ports.accesses.clear();
    b = scripted(kEpox, {0x22, 0, 0, 0, 0, 0x07, 0xFF});
    EXPECT_EQ(set_vcore(b, 1.90), ERR_NONE);
    EXPECT_EQ(writes(), (Writes{{0x0A, 0xF7}, {0, 0x22}, {0, 0x21}, {0, 0x20}}));

    // Setting what the chip holds writes nothing.
    ports.accesses.clear();
    b = scripted(kEpox, {0x2A, 0, 0, 0, 0, 0x07, 0xFF});
    EXPECT_EQ(set_vcore(b, 1.6), ERR_NONE);
    EXPECT_TRUE(writes().empty());
}

// The regulator follows register 0 only while its enable bit is set; otherwise the CPU's own
// VID (register 1). Stepping starts from the code the regulator really follows, and every
// byte written carries the enable bit. The MS-3 steps register 0 by the code of entry 0 and
// has no add-on register to write back.
TEST_F(VoltageTest, SteppingStartsFromTheCodeTheRegulatorFollows) {
    const struct {
        int board;
        std::initializer_list<uint32_t> registers;
        double v;
        Writes expected;
    } cases[] = {
        {kEpox,
         {0x08, 0x08, 0, 0, 0, 0x07, 0xFF},
         1.525,  // enable clear: the CPU's 1.650 V
         {{0, 0x28}, {0, 0x29}, {0, 0x2A}, {0, 0x2B}, {0, 0x2C}, {0, 0x2D}}},
        {kEpox,
         {0xA8, 0x0F, 0, 0, 0, 0x07, 0xFF},
         1.525,  // bits above the enable bit
         {{0, 0x28}, {0, 0x29}, {0, 0x2A}, {0, 0x2B}, {0, 0x2C}, {0, 0x2D}}},
        {kEpox, {0x0C, 0x0C, 0, 0, 0, 0x07, 0xFF}, 1.55, {{0, 0x2C}}},  // takes over, same code
        {kMsi,
         {0x28, 0x41},
         1.45,
         {{0, 0x28},
          {0, 0x29},
          {0, 0x2A},
          {0, 0x2B},
          {0, 0x2C},
          {0, 0x2D},
          {0, 0x2E},
          {0, 0x2F},
          {0, 0x30}}},
        {kA7n8x, {0x28, 0x08, 0, 0, 0, 0, 0}, 1.6, {{0, 0x2A}}},  // no add-on write-back
    };
    for (const auto& c : cases) {
        ports.accesses.clear();
        Board b = scripted(c.board, c.registers);
        EXPECT_EQ(set_vcore(b, c.v), ERR_NONE) << c.board;
        EXPECT_EQ(writes(), c.expected) << c.board;
    }
    Board b = boards[kEpox];
    b.chip.registers[0] = 0x08;
    b.chip.registers[1] = 0x0C;
    EXPECT_DOUBLE_EQ(vid_to_voltage(vid_chip_current_code(b.chip)), 1.55);
}

// A change of exactly 0.1 V (four codes) is one write and anything larger goes code by code,
// whichever code it starts from and whatever the FPU rounds 1.85 - code * 0.025 to.
TEST_F(VoltageTest, ExactlyATenthOfAVoltIsOneWriteFromEveryCode) {
    for (int start = 0; start + 5 <= 31; ++start) {
        for (int codes : {4, 5}) {
            ports.accesses.clear();
            const uint32_t vid = 0x20 | static_cast<uint32_t>(start);
            Board b = scripted(kA7n8x, {vid, vid, 0, 0, 0, 0, 0});
            if (vid_to_voltage(start + codes) < b.vcore_min - 0.05)
                continue;
            EXPECT_EQ(set_vcore(b, vid_to_voltage(start + codes), start + codes == 31), ERR_NONE);
            Writes expected;
            for (int c = codes == 4 ? start + 4 : start; c <= start + codes; ++c)
                expected.push_back({0, 0x20 | c});
            EXPECT_EQ(writes(), expected) << "from code " << start << ", " << codes << " codes";
        }
    }
}

// Rail = VID voltage + add-on offset. From every voltage each board offers to every other,
// no write takes the rail above the higher of start and target; the add-on moves one entry
// per write, so no write moves the rail by more than 0.1 V where the table has smaller steps.
TEST_F(VoltageTest, NoVcoreChangeOvershootsOnAnyBoard) {
    for (int n = 0; n < kSimProfileCount; ++n) {
        SimMachine& m = boot(n);
        RailProbe probe(m);
        install_port_backend(&probe);
        Board b = boards[n];
        if (b.chip.address == 0) {
            ASSERT_EQ(vid_chip_search(b.chip), 1);
        }
        const VoltageTable& add = b.vcore_add;
        const bool fine_add_on = table_count(add) > 2;
        const int positions = static_cast<int>((b.vcore_max - b.vcore_min) * 40 + 0.4);
        for (int from = 0; from <= positions; ++from) {
            for (int to = 0; to <= positions; ++to) {
                const double start_v = b.vcore_max - from * 0.025;
                const double target_v = b.vcore_max - to * 0.025;
                // Each setting is a burst of its own for the board's fault watch.
                clock.advance(1000);
                if (set_vcore(b, start_v) != ERR_NONE)
                    continue;  // a voltage this board's add-on cannot reach
                const double start = m.world().vcore;
                probe.reset();
                clock.advance(1000);
                const int result = set_vcore(b, target_v);
                if (result == ERR_INVALID_VCORE)
                    continue;
                ASSERT_EQ(result, ERR_NONE) << n << ": " << start_v << " -> " << target_v;
                const double end = m.world().vcore;
                EXPECT_LE(probe.peak, std::max(start, end) + 1e-9)
                    << n << ": " << start_v << " -> " << target_v;
                if (fine_add_on) {
                    EXPECT_LE(probe.largest_move, 0.1 + 1e-9)
                        << n << ": " << start_v << " -> " << target_v;
                }
                EXPECT_NEAR(end, target_v, 0.0126) << n;
            }
        }
        m.close_write_bursts();
        EXPECT_TRUE(m.world().faults.empty()) << n << ": " << m.world().faults.front();
    }
}

TEST_F(VoltageTest, UnsettableVcoreIsRefusedWithoutAnyWrite) {
    Board asus = scripted(kA7n8x, {0x28, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(set_vcore(asus, 1.9), ERR_INVALID_VCORE);
    EXPECT_EQ(log(), "VELMORA: set_vcore(): Doesn't have a vcoreadd value for 0.060\n");
    Board epox = boards[kEpox];
    epox.chip.identified = true;
    EXPECT_EQ(set_vcore(epox, 2.21), ERR_INVALID_VCORE);
    EXPECT_EQ(set_vcore(epox, 1.02), ERR_INVALID_VCORE);  // below 1.075 - 0.05
    // Within the range but past the five VID bits: code 32 would be written as 0x40 | 0x20,
    // a byte the regulator reads as 1.850 V.
    EXPECT_EQ(set_vcore(epox, 1.05), ERR_INVALID_VCORE);
    EXPECT_EQ(set_vcore(epox, 1.0625), ERR_INVALID_VCORE);
    EXPECT_TRUE(writes().empty());

    // Code 31, the lowest there is, switches the regulator off: only when allowed.
    EXPECT_EQ(set_vcore(epox, 1.065), ERR_INVALID_VCORE);
    EXPECT_EQ(set_vcore(epox, 1.075), ERR_INVALID_VCORE);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(set_vcore(epox, 1.065, true), ERR_NONE);
    ASSERT_FALSE(writes().empty());
    EXPECT_EQ(writes().back(), std::pair(0, 0x3F));
}

TEST_F(VoltageTest, AFailedTransactionIsReportedAndNothingFollowsIt) {
    Board b = scripted(kEpox, {0x20, 0, 0, 0, 0, 0x07, 0xFF});
    ports.script[0x5001] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,  // reads
                            0x80, 0x80, 0x90};                         // third step fails
    EXPECT_EQ(set_vcore(b, 1.70), ERR_SMB_WRITE);
    EXPECT_EQ(writes(), (Writes{{0, 0x20}, {0, 0x21}, {0, 0x22}}));
    Sleeps expected(8, 50);
    expected.insert(expected.end(), {50, 100, 50, 100, 50});
    EXPECT_EQ(clock.sleeps, expected);

    ports.accesses.clear();
    b = scripted(kEpox, {0x20, 0, 0, 0, 0, 0x07, 0xFF});
    ports.script[0x5001] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x90};
    EXPECT_EQ(set_vcore(b, 2.0), ERR_SMB_WRITE);  // the first add-on step failed: nothing more
    EXPECT_EQ(writes(), (Writes{{0x0A, 0xF7}}));

    // A register that did not answer is no base to merge bits into; no chip, no address to
    // write to (0 is the general call every device obeys).
    ports.accesses.clear();
    b = scripted(kEpox, {0x20, 0, 0, 0, 0, 0x07, 0xFF});
    ports.script[0x5001] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x90};
    EXPECT_EQ(set_vdimm(b, 2.77), ERR_SMB_WRITE);
    EXPECT_TRUE(writes().empty());
    ports.accesses.clear();
    Board none = boards[kEpox];
    none.chip = VidChip{};
    EXPECT_EQ(set_vcore(none, 1.6), ERR_SMB_WRITE);
    EXPECT_EQ(set_vdimm(none, 2.77), ERR_SMB_WRITE);
    EXPECT_EQ(set_vdd(none, 1.8), ERR_SMB_WRITE);
    EXPECT_EQ(set_vagp(none, 1.7), ERR_SMB_WRITE);
    EXPECT_EQ(set_vcore(none, 3.0), ERR_INVALID_VCORE);
    EXPECT_TRUE(ports.accesses.empty());
}

TEST_F(VoltageTest, VcoreRoundTripsLeaveTheRailAtTheAskedValueWithoutFaults) {
    for (bool through_kernel : {false, true})
        for (int n : {0, 4, 7, 11, kGeneral}) {
            SimMachine& m = boot(n, through_kernel);
            Board b = boards[n];
            if (b.chip.address == 0) {
                ASSERT_EQ(vid_chip_search(b.chip), 1);
            }
            for (double v : {1.650, 1.850, 1.650, 1.725}) {
                clock.advance(1000);
                EXPECT_EQ(set_vcore(b, v), ERR_NONE) << n << " " << v;
                EXPECT_NEAR(m.world().vcore, v, 1e-9) << n;
            }
            m.close_write_bursts();
            EXPECT_TRUE(m.world().faults.empty()) << n << ": " << m.world().faults.front();
        }
}

TEST_F(VoltageTest, TableVoltagesChangeOnlyTheirOwnBits) {
    SimMachine& m = boot(kEpox);
    Board b = boards[kEpox];
    EXPECT_EQ(set_vdimm(b, 2.77), ERR_NONE);
    EXPECT_EQ(set_vdd(b, 1.8), ERR_NONE);  // same register as Vdimm
    EXPECT_EQ(set_vagp(b, 1.7), ERR_NONE);
    EXPECT_DOUBLE_EQ(m.world().vdimm, 2.77);
    EXPECT_DOUBLE_EQ(m.world().vdd, 1.8);
    EXPECT_DOUBLE_EQ(m.world().vagp, 1.7);
    EXPECT_DOUBLE_EQ(m.world().vcore, 1.65);
    EXPECT_EQ(log(),
              "VELMORA: set_vdimm(): writing 0b\nVELMORA: set_vdd(): writing 0a\n"
              "VELMORA: set_vagp(): writing 7f\n");
    EXPECT_EQ(set_vdimm(b, 2.4), ERR_INVALID_VDIMM);
    EXPECT_EQ(set_vdd(b, 2.01), ERR_INVALID_VDD);

    install_port_backend(&ports);
    Board asus = boards[kA7n8x], dfi = boards[kDfi], epox1 = boards[6];
    EXPECT_EQ(set_vdimm(asus, 2.6), ERR_INVALID_VDIMM);
    EXPECT_EQ(set_vdimm(asus, 0.0), ERR_INVALID_VDIMM);  // would rewrite the VID register
    EXPECT_EQ(set_vdd(epox1, 1.6), ERR_INVALID_VDD);
    for (double v : {0.4, 0.0, 0.2})
        EXPECT_EQ(set_vagp(dfi, v), ERR_INVALID_VAGP);  // its table runs from 0.4 down to 0
    EXPECT_TRUE(ports.accesses.empty());

    ports.script[0x5001] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00};
    EXPECT_EQ(set_vdimm(b, 2.5), ERR_SMB_WRITE);
}

// Each table's first and last value reach the simulated rail on every board that has the
// table, and a hundredth of a volt beyond either end is refused with nothing written.
TEST_F(VoltageTest, EveryTableTakesBothEndsAndRefusesWhatLiesBeyond) {
    const struct {
        const char* name;
        VoltageTable Board::*table;
        int (*set)(Board&, double);
        double SimWorld::*rail;
        int refusal;
    } kinds[] = {{"Vdimm", &Board::vdimm, set_vdimm, &SimWorld::vdimm, ERR_INVALID_VDIMM},
                 {"Vdd", &Board::vdd, set_vdd, &SimWorld::vdd, ERR_INVALID_VDD},
                 {"Vagp", &Board::vagp, set_vagp, &SimWorld::vagp, ERR_INVALID_VAGP}};
    int ends = 0;
    for (bool through_kernel : {false, true})
        for (int n = 0; n < kSimProfileCount; ++n) {
            for (const auto& k : kinds) {
                const VoltageTable& table = boards[n].*k.table;
                if (table_count(table) == 0 || table_min(table) > table_max(table))
                    continue;
                SimMachine& m = boot(n, through_kernel);
                Board b = boards[n];
                if (b.chip.address == 0) {
                    ASSERT_EQ(vid_chip_search(b.chip), 1);
                }
                for (double v : {table_min(table), table_max(table)}) {
                    EXPECT_EQ(k.set(b, v), ERR_NONE) << n << " " << k.name << " " << v;
                    EXPECT_DOUBLE_EQ(m.world().*k.rail, v) << n << " " << k.name;
                    ++ends;
                }
                EXPECT_TRUE(m.world().faults.empty()) << n << ": " << m.world().faults.front();
                kernel.reset();
                install_port_backend(&ports);
                ports.accesses.clear();
                EXPECT_EQ(k.set(b, table_min(table) - 0.01), k.refusal) << n << " " << k.name;
                EXPECT_EQ(k.set(b, table_max(table) + 0.01), k.refusal) << n << " " << k.name;
                EXPECT_TRUE(ports.accesses.empty()) << n << " " << k.name;
            }
        }
    EXPECT_GE(ends, 20);
}

}  // namespace

namespace {

// The order of the writes, as letters (A: add-on, V: VID), and the rail after each.
std::pair<std::string, std::vector<int>> planned(const Board& b, int start_code, int add_from,
                                                 int target_code, int add_to) {
    VcoreMove m;
    m.start_code = start_code;
    m.vid_byte = static_cast<uint8_t>(start_code | 0x20);
    m.add_byte = b.vcore_add.codes[add_from];
    m.target_code = target_code;
    m.target_add = b.vcore_add.codes[add_to];
    m.code_by_code = true;
    std::pair<std::string, std::vector<int>> result;
    for (const VcoreWrite& w : plan_vcore_move(b.vcore_add, m)) {
        result.first += w.target == VcoreWrite::Target::AddOn ? 'A' : 'V';
        result.second.push_back(w.rail_mv);
    }
    return result;
}

TEST(VcorePlan, TheAddOnStepsWhereItCarriesTheRailTowardTheTarget) {
    std::vector<Board> boards;
    boards_init(boards);
    const Board& abit = boards[0];  // one step of 0.375 V
    const Board& epox = boards[7];  // eight entries 0.05 V apart
    // One big step: rising, the VID first and the add-on last; falling, the other way round.
    EXPECT_EQ(planned(abit, 8, 0, 1, 1).first, "VVVVVVVVA");  // 1.650 -> 2.200 V
    EXPECT_EQ(planned(abit, 1, 1, 8, 0).first, "AVVVVVVVV");  // 2.200 -> 1.650 V
    // 1.86 V asked from 1.650 V: offset 0.35 V and VID code 14 (1.50 V) end at 1.850 V. The
    // offset rises while there is room below that, then VID and add-on take turns.
    const auto [order, rails] = planned(epox, 8, 0, 14, 7);
    EXPECT_EQ(order, "AAAAVVVAVVAVVA");
    ASSERT_FALSE(rails.empty());
    EXPECT_EQ(rails.back(), 1850);
    EXPECT_LE(*std::max_element(rails.begin(), rails.end()), 1850);
    // Back to 1.850 V without offset: the VID rises only where the falling add-on made room.
    const auto down = planned(epox, 14, 7, 0, 0).second;
    EXPECT_LE(*std::max_element(down.begin(), down.end()), 1850);
    ASSERT_FALSE(down.empty());
    EXPECT_EQ(down.back(), 1850);
}

}  // namespace
