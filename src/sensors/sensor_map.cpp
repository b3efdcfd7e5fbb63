// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/sensor_map.h"

#include <cstdio>
#include <string>

#include "diag/debuglog.h"
#include "support/configfile.h"

namespace {

constexpr const char* kSection = "Sensormap";
constexpr int kMapBytes = 2 * kSensorMapPairs;

// Reads one number the way a "%d" conversion of the stored layout does: leading white space,
// one optional sign, at least one digit. Keeps the low 8 bits of the exact value (the
// arithmetic wraps modulo 2^32, a multiple of 256). False, with `at` unchanged, when there
// is no number.
bool parse_byte(const char*& at, uint8_t* byte) {
    const char* p = at;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10u + static_cast<uint32_t>(*p++ - '0');
    if (negative)
        value = 0u - value;
    *byte = static_cast<uint8_t>(value);
    at = p;
    return true;
}

// The numbers of a stored value, in the layout "t:c,t:c,...", up to the first place where the
// text leaves the layout; how many were read.
int parse_map(const char* text, uint8_t (&bytes)[kMapBytes]) {
    const char* at = text;
    int count = 0;
    while (count < kMapBytes) {
        if (count > 0) {
            const char separator = count % 2 ? ':' : ',';
            if (*at != separator)
                break;
            ++at;
        }
        if (!parse_byte(at, &bytes[count]))
            break;
        ++count;
    }
    return count;
}

}  // namespace

SensorReading sensormap_pair_reading(int pair) {
    if (pair < 2)
        return SensorReading::Temperature;
    if (pair < 7)
        return SensorReading::Voltage;
    return SensorReading::Fan;
}

namespace {
// The log names a map file as the user knows it: "sensormap.ini", not the folder it was found
// in beside the program or in an installation.
const char* file_name_of(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}
}  // namespace

int sensormap_save(const char* file, const SensorMap& map, int board) {
    const uint8_t* b = map.bytes;
    char text[kConfigValueBuffer];
    std::snprintf(text, sizeof text, "%d:%d,%d:%d,%d:%d,%d:%d,%d:%d,%d:%d,%d:%d,%d:%d,%d:%d,%d:%d",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12],
                  b[13], b[14], b[15], b[16], b[17], b[18], b[19]);
    const std::string key = std::to_string(board);
    if (configfile_write(file, kSection, key.c_str(), text, CONFIG_TEXT) == 0) {
        // The same words as a missing entry: the log has one text for both.
        debug_print("SENSOR: Map for board %d not found in %s\n", board, file_name_of(file));
        return 0;
    }
    return 1;
}

int sensormap_load(const char* file, SensorMap* map, int board) {
    char text[kConfigValueBuffer] = {};
    const std::string key = std::to_string(board);
    if (configfile_read(file, kSection, key.c_str(), text, CONFIG_TEXT) == 0) {
        debug_print("SENSOR: Map for board %d not found in %s\n", board, file_name_of(file));
        return 0;
    }
    uint8_t bytes[kMapBytes];
    if (parse_map(text, bytes) != kMapBytes) {
        debug_print("SENSOR: Wrong value count for board %d in file %s\n", board,
                    file_name_of(file));
        return 1;
    }
    for (int i = 0; i < kMapBytes; ++i)
        map->bytes[i] = bytes[i];
    return 1;
}
