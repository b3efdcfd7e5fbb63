// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target for the sensor map files: any bytes, as board 7's value in [Sensormap] and
// then as the whole sensor.ini, must load without a crash, leave the map alone when there is
// no entry, give a map the display shows without reading past a driver's arrays, and come
// back byte for byte from its own save.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "diag/debuglog.h"
#include "fuzz_support.h"
#include "sensors/sensor_display.h"
#include "sensors/sensor_map.h"
#include "support/configfile.h"

namespace {

constexpr const char* kFile = "sensor.ini";
constexpr int kBoard = 7;

void check(bool ok, const char* what) {
    fuzz_check(ok, "sensor map", what);
}

void write_bytes(const std::string& text) {
    std::ofstream out(kFile, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A Winbond and an ITE chip whose reading arrays are exactly as long as their counts, on the
// heap, so that the sanitizer sees any channel read past them.
struct Readings {
    std::unique_ptr<int8_t[]> temperatures;
    std::unique_ptr<double[]> voltages;
    std::unique_ptr<uint16_t[]> fans;
};

Readings readings_for(Sensor& s) {
    Readings r{std::make_unique<int8_t[]>(s.temperature_count),
               std::make_unique<double[]>(s.voltage_count),
               std::make_unique<uint16_t[]>(s.fan_count)};
    s.temperatures = r.temperatures.get();
    s.voltages = r.voltages.get();
    s.fans = r.fans.get();
    return r;
}

struct Board {
    SensorTable table{};
    Readings winbond, ite;
    Board() {
        table.sensors[0] = {"W83627HF", SENSOR_WINBOND, 3,       7,       3,
                            0,          nullptr,        nullptr, nullptr, nullptr};
        table.sensors[1] = {"ITE8712F", SENSOR_ITE, 3, 9, 3, 0, nullptr, nullptr, nullptr, nullptr};
        table.count = 2;
        winbond = readings_for(table.sensors[0]);
        ite = readings_for(table.sensors[1]);
    }
};

bool in_table(const SensorTable& table, uint8_t type) {
    for (int i = 0; i < table.count; ++i)
        if (table.sensors[i].type == type)
            return true;
    return false;
}

SensorMap marker_map() {
    SensorMap map;
    for (int i = 0; i < 2 * kSensorMapPairs; ++i)
        map.bytes[i] = static_cast<uint8_t>(0xA0 + i);
    return map;
}

bool same(const SensorMap& a, const SensorMap& b) {
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

void check_shown(const SensorMap& map) {
    static Board board;
    const SensorFields fields = sensor_fields(board.table, map);
    for (int pair = 0; pair < kSensorMapPairs; ++pair) {
        const uint8_t type = map.type(pair);
        if (type == SENSOR_NONE)
            check(fields.text[pair].empty(), "an unmapped pair shows a value");
        else if (!in_table(board.table, type))
            check(fields.text[pair] == "NA", "a pair of a sensor not found shows a value");
        else
            check(!fields.text[pair].empty(), "a mapped pair shows nothing");
    }
}

// Loads board 7's map from the file as it stands, then saves it and loads it again.
void load_save_load(bool can_read_back) {
    configfile_reset();
    const SensorMap before = marker_map();
    SensorMap map = before;
    const int found = sensormap_load(kFile, &map, kBoard);
    if (!found)
        check(same(map, before), "map changed without an entry for the board");
    check_shown(map);

    check(sensormap_save(kFile, map, kBoard) == 1, "save failed");
    if (!can_read_back)
        return;
    SensorMap back{};
    check(sensormap_load(kFile, &back, kBoard) == 1, "saved entry not found");
    check(same(back, map), "map changed by save and load");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = fuzz_enter_work_dir();
    if (!ready)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    write_bytes("\r\n[Sensormap]\r\n7=" + input + "\r\n");
    load_save_load(true);

    // A header on the very last line, without its line end, is completed by the appended
    // section's leading CR LF; the entry then lies beyond the second header's '['.
    const std::string header = "[Sensormap]";
    const bool bare_header_at_end =
        input.size() >= header.size() &&
        input.compare(input.size() - header.size(), header.size(), header) == 0;
    write_bytes(input);
    load_save_load(!bare_header_at_end);
    std::remove(kDebugLogName);
    return 0;
}
