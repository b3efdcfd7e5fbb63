// SPDX-License-Identifier: GPL-2.0-or-later
// The LM90 driver: exact SMBus traffic against scripted ports, a chip that stops answering, and
// readings from the simulated boards.
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
#include "sim/sim_machine.h"

namespace {

using Traffic = std::vector<std::tuple<int, int, int>>;  // (bus, protocol, command)
constexpr int R = SMBUS_PROTOCOL_READ_BYTE_DATA, W = SMBUS_PROTOCOL_WRITE_BYTE_DATA;
constexpr uint16_t kData0 = 0x5004, kData1 = 0x5104, kStatus1 = 0x5101;

class Lm90Test : public ::testing::Test {
  protected:
    Lm90Test() {
        lm90_reset_state();
        install_clock(&clock);
        install_port_backend(&ports);
        ports.defaults[0x5001] = ports.defaults[kStatus1] = SMBUS_STATUS_DONE;
    }
    ~Lm90Test() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }
    // The transactions started since the last call, and the data bytes written.
    Traffic traffic(std::vector<uint32_t>* written = nullptr) {
        Traffic t;
        int command = -1;
        for (const PortAccess& a : ports.accesses) {
            const int reg = a.port & 0xFF;
            if (a.dir == PortAccess::Dir::Out && reg == SMBUS_REG_COMMAND)
                command = a.value;
            if (a.dir == PortAccess::Dir::Out && reg == SMBUS_REG_DATA && written)
                written->push_back(a.value);
            if (a.dir == PortAccess::Dir::Out && reg == SMBUS_REG_PROTOCOL)
                t.emplace_back((a.port >> 8) & 1, a.value, command);
        }
        ports.accesses.clear();
        return t;
    }
    std::tuple<int, int, int> readings() const {
        return {slot.temperatures[0], slot.temperatures[1], slot.controls[0].value};
    }

    TempWorkDir dir;
    VirtualClock clock;
    ScriptedPortBackend ports;
    Sensor slot{};
};

TEST_F(Lm90Test, DetectionAsksBusZeroThenOneForTheMakerId) {
    struct Case {
        std::vector<uint32_t> bus0, bus1;
        int found;
        Traffic traffic;
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
         "LM90: Found an LM99 (rev: 3a) on Bus 1, 16 degrees added to its CPU reading\n"},
        {{0x4D}, {0x02}, 0, {{0, R, 0xFE}, {1, R, 0xFE}}, ""},
        // The family is the whole high nibble: 0xB3 differs from 0x3x in its top bit only.
        {{0x01, 0xB3},
         {},
         1,
         {{0, R, 0xFE}, {0, R, 0xFF}},
         "LM90: Found an LM90 (rev: b3) on Bus 0\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(kDebugLogName);
        ports.script[kData0] = {c.bus0.begin(), c.bus0.end()};
        ports.script[kData1] = {c.bus1.begin(), c.bus1.end()};
        slot = Sensor{};
        EXPECT_EQ(lm90_detect(&slot), c.found);
        EXPECT_EQ(traffic(), c.traffic);
        EXPECT_EQ(read_file(kDebugLogName), c.log);
        // The record is filled either way.
        EXPECT_STREQ(slot.name, "LM90");
        EXPECT_EQ(std::tuple(slot.type, slot.temperature_count, slot.voltage_count, slot.fan_count,
                             slot.control_count, slot.controls[0].kind),
                  std::tuple(SENSOR_LM90, 2, 0, 0, 1, CONTROL_OTHER));
        EXPECT_TRUE(slot.temperatures && !slot.voltages && !slot.fans);
        EXPECT_STREQ(slot.controls[0].description,
                     "Conversion rate (0-9):\nRate = 62.5mHz * 2^value\n00 = 62.5mHz\n09 = 32Hz");
    }
}

TEST_F(Lm90Test, ReadsAndWritesOnTheFoundBusAndKeepWhatAFailedTransactionLost) {
    ports.script[kData1] = {0x01, 0x21};
    ASSERT_EQ(lm90_detect(&slot), 1);  // on bus 1
    traffic();
    lm90_write();  // the rate was never read from the chip: nothing to write yet
    EXPECT_EQ(traffic(), Traffic{});

    ports.script[kData1] = {0xF6, 0x2D, 0x05};
    lm90_read();
    EXPECT_EQ(traffic(), (Traffic{{1, R, 0x01}, {1, R, 0x00}, {1, R, 0x04}}));
    EXPECT_EQ(readings(), std::tuple(-10, 45, 5));
    // The chip stops acknowledging (done + no acknowledge) except for the local temperature.
    ports.script[kStatus1] = {0x90, SMBUS_STATUS_DONE, 0x90};
    ports.script[kData1] = {0x1E};
    lm90_read();
    EXPECT_EQ(traffic().size(), 3u);
    EXPECT_EQ(readings(), std::tuple(-10, 30, 5));

    for (auto [typed, sent] : {std::pair{-1, 5}, {12, 9}, {0, 0}}) {
        if (typed >= 0)
            slot.controls[0].value = typed;
        std::vector<uint32_t> written;
        lm90_write();
        EXPECT_EQ(traffic(&written), (Traffic{{1, W, 0x0A}}));
        EXPECT_EQ(written, std::vector<uint32_t>{uint32_t(sent)});
        EXPECT_EQ(slot.controls[0].value, sent);
    }
}

TEST_F(Lm90Test, SimulatedBoardsReportTheirDiodeAndBoardTemperatures) {
    for (auto [profile, found] : {std::pair{4, 1}, {10, 1}, {2, 0}}) {
        SimMachine machine(*sim_profile(profile));
        machine.set_cpu_load(0.0);
        install_port_backend(&machine);
        ASSERT_EQ(lm90_detect(&slot), found) << profile;
        if (!found)
            continue;
        lm90_read();
        const SimWorld& w = machine.world();
        ASSERT_GT(w.cpu_temp_c, w.sys_temp_c + 1.0);  // so swapped channels show
        EXPECT_TRUE(w.sys_temp_c > 10 && w.cpu_temp_c < 100) << profile;
        EXPECT_EQ(readings(), std::tuple(std::lround(w.cpu_temp_c), std::lround(w.sys_temp_c), 8))
            << profile;  // 8: the chip's power-on rate
        slot.controls[0].value = 12;
        lm90_write();
        lm90_read();
        EXPECT_EQ(slot.controls[0].value, 9) << profile;
    }
}

}  // namespace
