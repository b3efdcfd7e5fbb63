// The LM90 driver: exact SMBus traffic against scripted ports, a failing chip, and readings
// from the simulated boards.
#include "sensors/lm90.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "diag/debuglog.h"
#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sensors/sensor.h"
#include "sim/sim_machine.h"

namespace {

using Transactions = std::vector<std::tuple<int, int, int>>;  // (bus, protocol, command)

constexpr uint16_t kData0 = 0x5004, kData1 = 0x5104, kStatus1 = 0x5101;
constexpr uint8_t kNoAck = 0x90;  // done, nobody acknowledged

class Lm90Test : public ::testing::Test {
  protected:
    Lm90Test() {
        lm90_reset_state();
        std::filesystem::remove(kDebugLogName);
        install_clock(&clock);
        install_port_backend(&ports);
        ports.defaults[0x5001] = ports.defaults[kStatus1] = SMBUS_STATUS_DONE;
    }
    ~Lm90Test() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }
    // Every SMBus transaction the scripted ports saw started, with its 7-bit address checked.
    Transactions transactions() const {
        Transactions t;
        int command = -1;
        for (const PortAccess& a : ports.accesses) {
            const int reg = a.port & 0xFF;
            if (a.dir != PortAccess::Dir::Out)
                continue;
            if (reg == SMBUS_REG_COMMAND) {
                command = a.value;
            } else if (reg == SMBUS_REG_ADDRESS) {
                EXPECT_EQ(a.value, LM90_ADDRESS << 1);
            } else if (reg == SMBUS_REG_PROTOCOL) {
                t.emplace_back((a.port >> 8) & 1, a.value, command);
            }
        }
        return t;
    }
    // Detects the chip on bus 1 and forgets that traffic.
    void detect_on_bus1() {
        ports.script[kData0] = {0x00};
        ports.script[kData1] = {0x01, 0x21};
        ASSERT_EQ(lm90_detect(&slot), 1);
        ports.accesses.clear();
    }

    TempWorkDir dir;
    VirtualClock clock;
    ScriptedPortBackend ports;
    Sensor slot{};
};

constexpr int R = SMBUS_PROTOCOL_READ_BYTE_DATA, W = SMBUS_PROTOCOL_WRITE_BYTE_DATA;

TEST_F(Lm90Test, DetectionAsksBusZeroThenOneForTheMakerId) {
    struct Case {
        std::vector<uint32_t> bus0, bus1;
        int found;
        Transactions traffic;
        std::string log;
    } const cases[] = {
        {{0x01, 0x21},
         {},
         1,
         {{0, R, 0xFE}, {0, R, 0xFF}},
         "LM90: Found an LM90 (rev: 21) on Bus 0\n"},
        {{0x00},
         {0x01, 0x3A},
         1,
         {{0, R, 0xFE}, {1, R, 0xFE}, {1, R, 0xFF}},
         "LM90: Found an LM90 (rev: 3a) on Bus 1\n"},
        {{0x4D}, {0x02}, 0, {{0, R, 0xFE}, {1, R, 0xFE}}, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(kDebugLogName);
        ports.accesses.clear();
        ports.script[kData0] = {c.bus0.begin(), c.bus0.end()};
        ports.script[kData1] = {c.bus1.begin(), c.bus1.end()};
        slot = Sensor{};
        EXPECT_EQ(lm90_detect(&slot), c.found);
        EXPECT_EQ(transactions(), c.traffic);
        EXPECT_EQ(read_file(kDebugLogName), c.log);
        // The record is filled either way.
        EXPECT_STREQ(slot.name, "LM90");
        EXPECT_EQ(std::tuple(slot.type, slot.temperature_count, slot.voltage_count, slot.fan_count,
                             slot.control_count),
                  std::tuple(SENSOR_LM90, 2, 0, 0, 1));
        EXPECT_TRUE(slot.temperatures && slot.controls && !slot.voltages && !slot.fans);
        EXPECT_EQ(slot.controls[0].kind, CONTROL_OTHER);
        EXPECT_STREQ(slot.controls[0].description,
                     "Conversion rate (0-9):\nRate = 62.5mHz * 2^value\n00 = 62.5mHz\n09 = 32Hz");
    }
}

TEST_F(Lm90Test, ReadAndWriteUseTheFoundBusAndTheRateIsCappedAtNine) {
    detect_on_bus1();
    ports.script[kData1] = {0xF6, 0x2D, 0x05};
    lm90_read();
    EXPECT_EQ(std::tuple(slot.temperatures[0], slot.temperatures[1], slot.controls[0].value),
              std::tuple(int8_t{-10}, int8_t{45}, uint8_t{5}));
    for (auto [typed, sent] : {std::pair{12, 9}, {9, 9}, {0, 0}}) {
        ports.accesses.clear();
        slot.controls[0].value = typed;
        lm90_write();
        EXPECT_EQ(slot.controls[0].value, sent);
        EXPECT_EQ(transactions(), (Transactions{{1, W, 0x0A}}));
        EXPECT_EQ(ports.accesses[2], out(1, kData1, sent));
    }
    ports.accesses.clear();
    lm90_read();
    EXPECT_EQ(transactions(), (Transactions{{1, R, 0x01}, {1, R, 0x00}, {1, R, 0x04}}));
}

TEST_F(Lm90Test, AFailedTransactionKeepsThePreviousValue) {
    detect_on_bus1();
    lm90_write();  // the rate was never read from the chip: nothing to write yet
    EXPECT_TRUE(ports.accesses.empty());

    ports.script[kData1] = {0x32, 0x28, 0x06};
    lm90_read();
    // Only the local temperature's transaction goes through.
    ports.script[kStatus1] = {kNoAck, SMBUS_STATUS_DONE, kNoAck};
    ports.script[kData1] = {0x1E};
    lm90_read();
    EXPECT_EQ(std::tuple(slot.temperatures[0], slot.temperatures[1], slot.controls[0].value),
              std::tuple(int8_t{50}, int8_t{30}, uint8_t{6}));
    ports.accesses.clear();
    lm90_write();  // the kept rate, not 0
    EXPECT_EQ(ports.accesses[2], out(1, kData1, 6));
}

TEST_F(Lm90Test, SimulatedBoardsReportTheirDiodeAndBoardTemperatures) {
    for (auto [profile, bus] : {std::pair{4, 1}, {10, 0}, {2, -1}}) {
        lm90_reset_state();
        SimMachine machine(*sim_profile(profile));
        machine.set_cpu_load(0.0);
        install_port_backend(&machine);
        slot = Sensor{};
        ASSERT_EQ(lm90_detect(&slot), bus >= 0 ? 1 : 0) << profile;
        if (bus < 0)
            continue;
        lm90_read();
        const SimWorld& w = machine.world();
        ASSERT_GT(w.cpu_temp_c, w.sys_temp_c + 1.0);  // so swapped channels show
        EXPECT_EQ(slot.temperatures[0], std::lround(w.cpu_temp_c)) << profile;
        EXPECT_EQ(slot.temperatures[1], std::lround(w.sys_temp_c)) << profile;
        EXPECT_TRUE(slot.temperatures[1] > 10 && slot.temperatures[0] < 100) << profile;
        EXPECT_EQ(slot.controls[0].value, 8);  // the chip's power-on rate
        slot.controls[0].value = 12;
        lm90_write();
        lm90_read();
        EXPECT_EQ(slot.controls[0].value, 9) << profile;
    }
}

}  // namespace
