// SPDX-License-Identifier: GPL-2.0-or-later
// The main tab's sensor fields from the readings, and where the shipped map file is found.
#include "sensors/sensor_display.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/shipped_files.h"
#include "helpers/temp_dir.h"

namespace {

// A Winbond-like sensor at index 0 and the port-80 pseudo-sensor at index 1.
struct Readings {
    int8_t temps[3] = {52, 25, 31};
    double volts[7] = {100, 160, 185, 185, 197, 100, 94};
    uint16_t fans[3] = {3000, 2400, 0};
    SensorTable table{};
    Readings() {
        table.sensors[0] = {"W83627HF", SENSOR_WINBOND, 3, 7, 3, 0, temps, volts, fans, nullptr};
        table.sensors[1] = {"PORT80", SENSOR_PORT80, 0,       0,       0,
                            1,        nullptr,       nullptr, nullptr, nullptr};
        table.count = 2;
    }
};

SensorMap map_of(std::initializer_list<std::pair<int, int>> pairs) {
    SensorMap map{};
    int i = 0;
    for (auto [type, channel] : pairs) {
        map.bytes[2 * i] = static_cast<uint8_t>(type);
        map.bytes[2 * i + 1] = static_cast<uint8_t>(channel);
        ++i;
    }
    return map;
}

TEST(SensorFields, ShowTheMappedReadingsScaledAndNaForPairsThatAddressNothing) {
    Readings r;
    // CPU, SYS, VCore, VDimm, Vdd, 5V, 12V, FAN1, FAN2, FAN3.
    const SensorMap map =
        map_of({{1, 0}, {1, 2}, {1, 0}, {1, 1}, {1, 5}, {1, 3}, {1, 4}, {1, 0}, {1, 1}, {0, 0}});
    const SensorFields f = sensor_fields(r.table, map);
    const std::string expected[kSensorMapPairs] = {
        "52 \xC2\xB0"
        "C",
        "31 \xC2\xB0"
        "C",
        "1.600 V",
        "2.56 V",
        "1.60 V",
        "4.97 V",
        "11.98 V",
        "3000",
        "2400",
        ""};
    for (int pair = 0; pair < kSensorMapPairs; ++pair)
        EXPECT_EQ(f.text[pair], expected[pair]) << pair;
    EXPECT_TRUE(f.have_cpu_temperature);
    EXPECT_EQ(f.cpu_temperature, 52);

    // A type that was not found (its lookup falls back to the port-80 sensor at index 1 or
    // the Winbond at 0), a sensor without that kind of reading, a channel past the count.
    const SensorMap bad =
        map_of({{2, 0}, {3, 0}, {1, 7}, {4, 0}, {1, 0}, {1, 3}, {1, 4}, {3, 0}, {1, 3}, {5, 0}});
    const SensorFields g = sensor_fields(r.table, bad);
    for (int pair : {0, 1, 2, 3, 7, 8, 9})
        EXPECT_EQ(g.text[pair], "NA") << pair;
    EXPECT_FALSE(g.have_cpu_temperature);
    EXPECT_EQ(g.text[4], "1.60 V");
}

TEST(SensorFields, AChannelShownTwiceIsScaledOnceForEachAndTheReadingsStayRaw) {
    Readings r;
    const SensorMap map = map_of({{0, 0}, {0, 0}, {1, 0}, {1, 0}, {1, 0}});
    for (int tick = 0; tick < 2; ++tick) {
        const SensorFields f = sensor_fields(r.table, map);
        EXPECT_EQ(f.text[2], "1.600 V");
        EXPECT_EQ(f.text[3], "1.60 V");
        EXPECT_EQ(f.text[4], "1.60 V");
    }
    EXPECT_EQ(r.volts[0], 100);
}

TEST(ShippedFiles, TheWorkingDirectoryWinsThenBesideTheProgramThenTheDataFolder) {
    TempWorkDir dir;
    namespace fs = std::filesystem;
    const std::string program = (fs::current_path() / "prefix/bin").string();
    fs::create_directories("prefix/bin");
    fs::create_directories("prefix/share/velmora");
    EXPECT_EQ(shipped_file_path("sensormap.ini", program), "sensormap.ini");  // none there
    write_file("prefix/share/velmora/sensormap.ini", "");
    EXPECT_EQ(shipped_file_path("sensormap.ini", program),
              program + "/../share/velmora/sensormap.ini");
    write_file("prefix/bin/sensormap.ini", "");
    EXPECT_EQ(shipped_file_path("sensormap.ini", program), program + "/sensormap.ini");
    write_file("sensormap.ini", "");
    EXPECT_EQ(shipped_file_path("sensormap.ini", program), "sensormap.ini");
}

}  // namespace
