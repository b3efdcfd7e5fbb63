// The VID chip and the voltage setters: exact SMBus traffic against scripted ports, and what
// they do to the simulated boards' rails.
#include "board/voltage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "app/debuglog.h"
#include "app/errortext.h"
#include "board/boards.h"
#include "board/vid_chip.h"
#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

using Writes = std::vector<std::pair<int, int>>;  // (register, value)
using Sleeps = std::vector<uint32_t>;

constexpr int kEpox = 7, kA7n8x = 2, kDfi = 4, kMsi = 10, kGeneral = 14;

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
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    // The board with its ATXP1 registers 0, 1, 2, 3, 4, 6 and 0x0A scripted for one read.
    Board scripted(int n, std::initializer_list<uint32_t> registers) {
        Board b = boards[n];
        ports.script[smbus_base(b.chip.bus) + SMBUS_REG_DATA] = registers;
        return b;
    }
    SimMachine& boot(int n) {
        machine = std::make_unique<SimMachine>(*sim_profile(n));
        machine->set_cpu_load(0.0);
        install_port_backend(machine.get());
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
    EXPECT_EQ(log(),
              "ATXP1: Searching...\nATXP1: Found ATXP1 on bus 1, addr. 78\n"
              "ATXP1: Searching...\nATXP1: Found MS-3 on bus 0, addr. 27\n"
              "ATXP1: Searching...\nATXP1: Not found\n");
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

    EXPECT_EQ(set_vcore(b, 1.86), ERR_NONE);  // offset 0.35 + VID code 14
    vid_chip_read_registers(b.chip);
    EXPECT_EQ(b.chip.registers[0], 0x2E);
    EXPECT_EQ(b.chip.registers[0x0A] & 0x38, 0x00);
    EXPECT_NEAR(m.world().vcore, 1.85, 1e-9);

    EXPECT_EQ(set_vcore(b, 1.6), ERR_NONE);  // no offset + VID code 10
    vid_chip_read_registers(b.chip);
    EXPECT_EQ(b.chip.registers[0], 0x2A);
    EXPECT_EQ(b.chip.registers[0x0A] & 0x38, 0x38);
    EXPECT_NEAR(m.world().vcore, 1.6, 1e-9);
    EXPECT_TRUE(m.world().faults.empty()) << m.world().faults.front();
}

TEST_F(VoltageTest, LargeChangesStepOneCode100MsApartAndSmallOnesWriteOnce) {
    Board b = scripted(kEpox, {0x20, 0, 0, 0, 0, 0x07, 0xFF});
    EXPECT_EQ(set_vcore(b, 1.70), ERR_NONE);
    EXPECT_EQ(writes(), (Writes{{0x0A, 0xFF},
                                {0, 0x20},
                                {0, 0x21},
                                {0, 0x22},
                                {0, 0x23},
                                {0, 0x24},
                                {0, 0x25},
                                {0, 0x26}}));
    Sleeps expected(7, 50);                     // register reads
    expected.insert(expected.end(), {50, 50});  // add-on write, pause
    for (int i = 0; i < 7; ++i)
        expected.insert(expected.end(), {50, 100});
    EXPECT_EQ(clock.sleeps, expected);

    ports.accesses.clear();
    clock.sleeps.clear();
    b = scripted(kEpox, {0x28, 0, 0, 0, 0, 0x07, 0xFF});
    EXPECT_EQ(set_vcore(b, 1.6), ERR_NONE);
    EXPECT_EQ(writes(), (Writes{{0x0A, 0xFF}, {0, 0x2A}}));
    EXPECT_EQ(clock.sleeps, Sleeps(10, 50));

    // 1.80 -> 1.90 V: 0.05 V of VID change, but the add-on's 0.06 V counts too.
    ports.accesses.clear();
    b = scripted(kEpox, {0x22, 0, 0, 0, 0, 0x07, 0xFF});
    EXPECT_EQ(set_vcore(b, 1.90), ERR_NONE);
    EXPECT_EQ(writes(), (Writes{{0x0A, 0xF7}, {0, 0x22}, {0, 0x21}, {0, 0x20}}));
}

TEST_F(VoltageTest, UnsettableVcoreIsRefusedWithoutAnyWrite) {
    Board asus = scripted(kA7n8x, {0x28, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(set_vcore(asus, 1.9), ERR_INVALID_VCORE);
    EXPECT_EQ(log(), "VELMORA: set_vcore(): Doesn't have a vcoreadd value for 0.060\n");
    Board epox = boards[kEpox];
    EXPECT_EQ(set_vcore(epox, 2.21), ERR_INVALID_VCORE);
    EXPECT_EQ(set_vcore(epox, 1.02), ERR_INVALID_VCORE);  // below 1.075 - 0.05
    // Within the range but past the five VID bits: code 32 would be written as 0x40 | 0x20,
    // a byte the regulator reads as 1.850 V.
    EXPECT_EQ(set_vcore(epox, 1.05), ERR_INVALID_VCORE);
    EXPECT_EQ(set_vcore(epox, 1.0625), ERR_INVALID_VCORE);
    EXPECT_TRUE(writes().empty());

    EXPECT_EQ(set_vcore(epox, 1.065), ERR_NONE);  // code 31, the lowest there is
    EXPECT_EQ(writes().back(), std::pair(0, 0x3F));
}

TEST_F(VoltageTest, AFailedWriteIsReportedAndStopsTheStepping) {
    Board b = scripted(kEpox, {0x20, 0, 0, 0, 0, 0x07, 0xFF});
    ports.script[0x5001] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,  // reads
                            0x80,                                      // add-on
                            0x80, 0x80, 0x00};                         // third step fails
    EXPECT_EQ(set_vcore(b, 1.70), ERR_SMB_WRITE);
    EXPECT_EQ(writes(), (Writes{{0x0A, 0xFF}, {0, 0x20}, {0, 0x21}, {0, 0x22}}));
    Sleeps expected(9, 50);
    expected.insert(expected.end(), {50, 100, 50, 100, 50});
    EXPECT_EQ(clock.sleeps, expected);

    ports.accesses.clear();
    b = scripted(kEpox, {0x20, 0, 0, 0, 0, 0x07, 0xFF});
    ports.script[0x5001] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00};
    EXPECT_EQ(set_vcore(b, 1.70), ERR_SMB_WRITE);  // the add-on write failed: no VID write
    EXPECT_EQ(writes().size(), 1u);
}

TEST_F(VoltageTest, VcoreRoundTripsLeaveTheRailAtTheAskedValueWithoutFaults) {
    for (int n : {0, 4, 7, 11, kGeneral}) {
        SimMachine& m = boot(n);
        Board b = boards[n];
        if (b.chip.address == 0) {
            ASSERT_EQ(vid_chip_search(b.chip), 1);
        }
        for (double v : {1.650, 1.850, 1.650, 1.725}) {
            EXPECT_EQ(set_vcore(b, v), ERR_NONE) << n << " " << v;
            EXPECT_NEAR(m.world().vcore, v, 1e-9) << n;
        }
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

}  // namespace
