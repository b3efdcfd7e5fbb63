// SPDX-License-Identifier: GPL-2.0-or-later
// The sensor map files: "sensor.ini" holds the user's maps, saved at close; "sensormap.ini"
// holds the maps that come with the program. Both keep one entry per board number in section
// "Sensormap", the 20 map bytes as ten "type:channel" pairs joined by commas.
#pragma once

#include "sensors/sensor.h"

// The kind of reading a map pair's channel indexes (pair 0 to 9).
SensorReading sensormap_pair_reading(int pair);

// Stores the map under the board number in section "Sensormap" of the file: 1 written, 0 not.
// The user's maps, and the maps that come with the program.
inline constexpr const char* kUserSensorMapFile = "sensor.ini";
inline constexpr const char* kShippedSensorMapFile = "sensormap.ini";

int sensormap_save(const char* file, const SensorMap& map, int board);

// Loads the board's map from the file: 1 when the file has an entry for the board, even one
// that was not usable (the map is then unchanged), 0 when it has none.
int sensormap_load(const char* file, SensorMap* map, int board);
