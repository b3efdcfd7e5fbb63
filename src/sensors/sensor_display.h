// SPDX-License-Identifier: GPL-2.0-or-later
// What the main tab's ten sensor fields show: the reading that each map pair selects, scaled
// from converter counts to volts and formatted as the window shows it.
#pragma once

#include <string>

#include "sensors/sensor.h"

// Volts per converter count by input kind: 5 for the divided 5 V input, 12 for the divided
// 12 V input, anything else for the inputs read directly.
inline constexpr int kVoltageKindDirect = 0;
inline constexpr int kVoltageKind5V = 5;
inline constexpr int kVoltageKind12V = 12;
void sensor_scale_voltage(int kind, double* value);

struct SensorFields {
    // One per map pair, in the map's order. Empty: the pair is unmapped and the field keeps
    // its text. "NA": the pair names a sensor, array or channel that is not there.
    std::string text[kSensorMapPairs];
    // The CPU item's temperature, when pair 0 gave one.
    bool have_cpu_temperature = false;
    int cpu_temperature = 0;
};

// The fields from the readings as the drivers left them. The drivers' arrays are not changed:
// a channel shown in two fields is scaled once for each, never twice.
SensorFields sensor_fields(const SensorTable& table, const SensorMap& map);

// The temperature that a map pair selects, when the pair names a sensor with that channel.
bool sensor_pair_temperature(const SensorTable& table, const SensorMap& map, int pair, int* out);
