// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/sensor_display.h"

#include "diag/number_text.h"

namespace {

constexpr double kVoltsPerCountDirect = 0.016;
constexpr double kVoltsPerCount5V = 0.02688;
constexpr double kVoltsPerCount12V = 0.0608;

const char* const kDegrees =
    " \xC2\xB0"
    "C";  // " °C"

struct VoltageField {
    int pair;
    int kind;
    int decimals;
};
constexpr VoltageField kVoltageFields[] = {
    {2, kVoltageKindDirect, 3},  // VCore
    {3, kVoltageKindDirect, 2},  // VDimm
    {4, kVoltageKindDirect, 2},  // Vdd
    {5, kVoltageKind5V, 2},      // 5V
    {6, kVoltageKind12V, 2},     // 12V
};
constexpr int kFirstFanPair = 7;

}  // namespace

void sensor_scale_voltage(int kind, double* value) {
    if (!value)
        return;
    *value *= kind == kVoltageKind5V    ? kVoltsPerCount5V
              : kind == kVoltageKind12V ? kVoltsPerCount12V
                                        : kVoltsPerCountDirect;
}

namespace {
// A reading whose BIOS function (or chip) never answered has no value yet, not 0.
bool never_read(const Sensor& s, int bit) {
    return s.never_read && (*s.never_read & (1u << bit));
}
}  // namespace

bool sensor_pair_temperature(const SensorTable& table, const SensorMap& map, int pair, int* out) {
    const Sensor* s =
        sensor_for_pair(table, map.type(pair), map.channel(pair), SensorReading::Temperature);
    if (!s || never_read(*s, map.channel(pair)))
        return false;
    *out = s->temperatures[map.channel(pair)];
    return true;
}

SensorFields sensor_fields(const SensorTable& table, const SensorMap& map) {
    SensorFields fields;
    for (int pair = 0; pair < 2; ++pair) {
        if (map.type(pair) == SENSOR_NONE)
            continue;
        int t = 0;
        if (!sensor_pair_temperature(table, map, pair, &t)) {
            fields.text[pair] = "NA";
            continue;
        }
        fields.text[pair] = whole_text(t) + kDegrees;
        if (pair == 0) {
            fields.have_cpu_temperature = true;
            fields.cpu_temperature = t;
        }
    }
    for (const VoltageField& f : kVoltageFields) {
        if (map.type(f.pair) == SENSOR_NONE)
            continue;
        const uint8_t ch = map.channel(f.pair);
        const Sensor* s = sensor_for_pair(table, map.type(f.pair), ch, SensorReading::Voltage);
        if (!s || never_read(*s, kNeverReadVoltage + ch)) {
            fields.text[f.pair] = "NA";
            continue;
        }
        double volts = s->voltages[ch];
        sensor_scale_voltage(f.kind, &volts);
        fields.text[f.pair] = fixed_text(volts, f.decimals) + " V";
    }
    for (int pair = kFirstFanPair; pair < kSensorMapPairs; ++pair) {
        if (map.type(pair) == SENSOR_NONE)
            continue;
        const uint8_t ch = map.channel(pair);
        const Sensor* s = sensor_for_pair(table, map.type(pair), ch, SensorReading::Fan);
        fields.text[pair] =
            s && !never_read(*s, kNeverReadFan + ch) ? whole_text(s->fans[ch]) : "NA";
    }
    return fields;
}
