// SPDX-License-Identifier: GPL-2.0-or-later
// The sensor framework, the port-80h pseudo-sensor and the sensor map files, against the
// scripted port backend in a fresh working directory.
#include "sensors/sensor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "diag/debuglog.h"
#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sensors/port80.h"
#include "sensors/sensor_map.h"
#include "sensors/smi.h"
#include "sensors/standby.h"
#include "support/configfile.h"

namespace {

// The log lines of the sensor modules, the INI engine's own lines left out.
std::string sensor_log() {
    std::istringstream in(read_file(kDebugLogName));
    std::string lines, line;
    while (std::getline(in, line))
        if (line.rfind("SENSOR: ", 0) == 0 || line.rfind("PORT80: ", 0) == 0)
            lines += line + "\n";
    return lines;
}

std::vector<uint8_t> bytes_of(const SensorMap& map) {
    return {map.bytes, map.bytes + sizeof map.bytes};
}

class SensorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sensors_reset_state();
        port80_reset_state();
        smi_reset_state();
        configfile_reset();
        install_port_backend(&ports_);
        smbus_block_access(true);  // no SMBus chip answers here, and the probes cost no port
    }
    void TearDown() override {
        smbus_block_access(false);
        install_port_backend(nullptr);
    }

    TempWorkDir dir_;
    ScriptedPortBackend ports_;
};

TEST_F(SensorTest, Port80IsFoundAloneAndItsByteReachesPort80OnlyOnAWrite) {
    SensorTable& table = sensor_table();
    sensors_write_controls(&table);        // nothing detected yet
    ASSERT_EQ(sensors_detect(&table), 1);  // the Winbond probe finds a floating bus
    ports_.accesses.clear();
    const Sensor& s = table.sensors[0];
    EXPECT_STREQ(s.name, "PORT80");
    EXPECT_EQ(s.type, SENSOR_PORT80);
    EXPECT_EQ(s.temperature_count + s.voltage_count + s.fan_count, 0);
    EXPECT_TRUE(!s.temperatures && !s.voltages && !s.fans);
    ASSERT_EQ(s.control_count, 1);
    EXPECT_EQ(s.controls[0].kind, CONTROL_PORT80);
    EXPECT_STREQ(s.controls[0].description, "Port80 LED value (0-255)");
    EXPECT_EQ(s.controls[0].value, 0);

    s.controls[0].value = 0x52;
    sensors_read_all(&table);  // nothing to read, no port touched
    EXPECT_TRUE(ports_.accesses.empty());
    EXPECT_EQ(sensors_detect(&table), 1);  // a board change: slot 0 again, the byte kept
    ports_.accesses.clear();
    sensors_write_controls(&table);
    table.sensors[0].controls[0].value = 0xFF;
    sensors_write_controls(&table);
    EXPECT_EQ(ports_.accesses, (std::vector<PortAccess>{out(1, 0x80, 0x52), out(1, 0x80, 0xFF)}));
    EXPECT_EQ(sensor_log(),
              "PORT80: Initialized\nSENSOR: Found 1 sensor(s)\n"
              "PORT80: Initialized\nSENSOR: Found 1 sensor(s)\n");
}

TEST_F(SensorTest, PairLookupRefusesWhatTheIndexOfTypeFallbackWouldMisread) {
    // A Winbond-like chip at index 0 with temperatures and voltages but no fan array, then
    // Port80, and an LM90 left behind past the count.
    int8_t temperatures[3] = {};
    double voltages[9] = {};
    SensorTable table{};
    table.sensors[0] = {"W83627HF", SENSOR_WINBOND, 3,        9,       3,
                        0,          temperatures,   voltages, nullptr, nullptr};
    port80_detect(&table.sensors[1]);
    table.sensors[2].type = SENSOR_LM90;
    table.count = 2;

    EXPECT_EQ(sensor_index_of_type(&table, SENSOR_PORT80), 1);
    for (uint8_t absent : {SENSOR_NONE, SENSOR_LM90, uint8_t{200}})
        EXPECT_EQ(sensor_index_of_type(&table, absent), 0) << int(absent);
    EXPECT_EQ(sensor_index_of_type(nullptr, SENSOR_PORT80), 0);

    using R = SensorReading;
    struct Case {
        uint8_t type, channel;
        R kind;
        bool found;
    } const cases[] = {
        {SENSOR_WINBOND, 2, R::Temperature, true}, {SENSOR_WINBOND, 3, R::Temperature, false},
        {SENSOR_WINBOND, 8, R::Voltage, true},     {SENSOR_WINBOND, 9, R::Voltage, false},
        {SENSOR_WINBOND, 0, R::Fan, false},        {SENSOR_LM90, 0, R::Temperature, false},
        {SENSOR_NONE, 0, R::Temperature, false},   {SENSOR_PORT80, 0, R::Temperature, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sensor_for_pair(table, c.type, c.channel, c.kind),
                  c.found ? &table.sensors[0] : nullptr)
            << int(c.type) << ":" << int(c.channel) << " kind " << int(c.kind);
}

TEST_F(SensorTest, MapsAreStoredPerBoardAsTenPairsAndReadBack) {
    SensorMap full{}, epox{{1, 0, 1, 1, 1, 0, 1, 5, 1, 6, 1, 3, 1, 4, 1, 0, 1, 1, 0, 0}};
    std::fill(std::begin(full.bytes), std::end(full.bytes), 255);
    ASSERT_EQ(sensormap_save("sensor.ini", SensorMap{}, 255), 1);
    EXPECT_EQ(read_file("sensor.ini"),
              "\r\n[Sensormap]\r\n255=0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0\r\n");
    ASSERT_EQ(sensormap_save("sensor.ini", full, 3), 1);  // 79 characters, the longest
    ASSERT_EQ(sensormap_save("sensor.ini", epox, 12), 1);
    for (const auto& [board, expected] : {std::pair{255, SensorMap{}}, {3, full}, {12, epox}}) {
        SensorMap loaded{{7, 7}};
        EXPECT_EQ(sensormap_load("sensor.ini", &loaded, board), 1);
        EXPECT_EQ(bytes_of(loaded), bytes_of(expected)) << board;
    }
    EXPECT_EQ(sensor_log(), "");
}

TEST_F(SensorTest, AnEntryNotOfTwentyNumbersLeavesTheMapAndStillCountsAsFound) {
    const SensorMap before{{5, 1, 5, 2, 1, 0}};
    const std::string wrong = "SENSOR: Wrong value count for board 4 in file sensormap.ini\n";
    struct Case {
        const char* value;
        std::vector<uint8_t> bytes;  // empty: the map unchanged
    } const cases[] = {
        {"300:1,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:-1 and more",  // low 8 bits; tail ignored
         {44, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255}},
        {"1:0,1:1,1:0,1:5,1:6,1:3,1:4,1:0,1:1,0", {}},    // 19 numbers
        {"1:0,1:1,1:0,1:5,1:6,1:3,1:4,1:0,1:1,0:x", {}},  // not a digit after the last colon
        {"1:0;1:1,1:0,1:5,1:6,1:3,1:4,1:0,1:1,0:0", {}},  // wrong separator
        {"", {}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(kDebugLogName);
        write_file("sensormap.ini", "[Sensormap]\r\n4=" + std::string(c.value) + "\r\n");
        SensorMap map = before;
        EXPECT_EQ(sensormap_load("sensormap.ini", &map, 4), 1) << c.value;
        EXPECT_EQ(bytes_of(map), c.bytes.empty() ? bytes_of(before) : c.bytes) << c.value;
        EXPECT_EQ(sensor_log(), c.bytes.empty() ? wrong : "") << c.value;
    }
}

TEST_F(SensorTest, MissingEntriesAndFailedSavesLogTheNotFoundLine) {
    SensorMap map{{1, 2, 3}};
    EXPECT_EQ(sensormap_load("sensor.ini", &map, 3), 0);  // no file
    write_file("sensor.ini", "[Sensormap]\r\n30=1:2,3:4\r\n[Other]\r\n3=1:1\r\n");
    EXPECT_EQ(sensormap_load("sensor.ini", &map, 3), 0);  // no entry for the board
    EXPECT_EQ(bytes_of(map), bytes_of(SensorMap{{1, 2, 3}}));
    std::filesystem::create_directory("saved.ini");
    EXPECT_EQ(sensormap_save("saved.ini", map, 3), 0);
    // A map in another folder (beside the program, an installation's data folder) is named
    // by its file name alone.
    std::filesystem::create_directories("share/velmora");
    write_file("share/velmora/sensormap.ini", "[Sensormap]\r\n3=1:2\r\n");
    EXPECT_EQ(sensormap_load("share/velmora/sensormap.ini", &map, 4), 0);
    EXPECT_EQ(sensormap_load("share/velmora/sensormap.ini", &map, 3), 1);
    EXPECT_EQ(sensor_log(),
              "SENSOR: Map for board 3 not found in sensor.ini\n"
              "SENSOR: ... 1 more time\n"
              "SENSOR: Map for board 3 not found in saved.ini\n"
              "SENSOR: Map for board 4 not found in sensormap.ini\n"
              "SENSOR: Wrong value count for board 3 in file sensormap.ini\n");
}

}  // namespace

// A gap between two ticks is a standby only past the limit, counted in whole seconds with one
// second's grace: 11 s apart is still a tick of a 10 s limit, 12 s is not.
TEST(Standby, AGapIsAStandbyOnlyPastTheLimitWithOneSecondsGrace) {
    TempWorkDir dir;
    VirtualClock clock;
    install_clock(&clock);
    standby_reset();
    EXPECT_EQ(standby_detect(10), 0);  // the first tick has nothing to compare with
    const struct {
        uint32_t gap_ms;
        int standby;
    } ticks[] = {{1000, 0}, {11999, 0}, {11000, 0}, {12000, 1}, {0, 0}, {600000, 1}};
    for (const auto& t : ticks) {
        clock.advance(t.gap_ms);
        EXPECT_EQ(standby_detect(10), t.standby) << t.gap_ms;
    }
    EXPECT_NE(read_file(kDebugLogName).find("ENUM: Time diff: 11s, should be max 10s\n"),
              std::string::npos);
    install_clock(nullptr);
}
