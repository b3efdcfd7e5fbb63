// SPDX-License-Identifier: GPL-2.0-or-later
// The sensor framework: the record each hardware-monitor driver fills for the chip it found, the
// table of found sensors, the detection run, the dispatch of reads and control writes, and the
// sensor map that says which reading of which sensor each display field shows.
#pragma once

#include <cstdint>

// Sensor type codes: the type byte of a Sensor and the first byte of each SensorMap pair. In a
// map pair, 0 means the item is not shown.
inline constexpr uint8_t SENSOR_NONE = 0;
inline constexpr uint8_t SENSOR_WINBOND = 1;  // "W83627HF" or "W83782D"
inline constexpr uint8_t SENSOR_ITE = 2;      // "ITE8712F"
inline constexpr uint8_t SENSOR_PORT80 = 3;   // "PORT80"
inline constexpr uint8_t SENSOR_LM90 = 4;     // "LM90"
inline constexpr uint8_t SENSOR_SMI = 5;      // "SMI BIOS sensor"

// What a control does. AutoFAN drives the PWM controls and switches the fan-enable controls of
// the same sensor; the update cycle writes the port-80h byte.
inline constexpr uint8_t CONTROL_OTHER = 0;       // LM90 conversion rate
inline constexpr uint8_t CONTROL_PWM = 1;         // fan PWM duty, 0-255
inline constexpr uint8_t CONTROL_PWM_FREQ = 2;    // Winbond PWM clock select, 0-4
inline constexpr uint8_t CONTROL_FAN_ENABLE = 3;  // software fan control switch, 0 or 1
inline constexpr uint8_t CONTROL_PORT80 = 4;      // byte shown on the POST-code display

// The value a PWM control of the sensor type holds for a duty of 0-255. The ITE's controls take
// a software duty in 7 bits, and 128 and above hand the fan to the chip's own automatic
// control: there a duty becomes at most 127, its full speed.
uint8_t sensor_pwm_value(uint8_t sensor_type, uint8_t duty);
inline constexpr uint8_t kItePwmFullSpeed = 127;

struct SensorControl {
    uint8_t kind;
    const char* description;  // help text, lines separated by "\n"; not owned
    uint8_t value;            // last read from, or to be written to, the chip
    // Another program drives this output through the kernel's driver (fancontrol): velmora
    // writes nothing to it and AutoFAN does not take it. Null when velmora may.
    const char* held_by = nullptr;
};

// One detected chip. The arrays belong to the chip's driver (one static set per driver, sized
// for the largest chip it handles); the record only points at them. A driver's read overwrites
// them in place. Counts never exceed the arrays.
struct Sensor {
    const char* name;  // null when a detector met a chip id it does not handle
    uint8_t type;
    uint8_t temperature_count;
    uint8_t voltage_count;
    uint8_t fan_count;
    uint8_t control_count;
    int8_t* temperatures;     // degrees Celsius; null if none
    double* voltages;         // as the driver delivers them (converter counts, BIOS values)
    uint16_t* fans;           // revolutions per minute, 0 for a stopped or absent fan
    SensorControl* controls;  // null if none
    // Readings the chip has not delivered once yet, shown as "NA": bit i temperature i, bit
    // 8 + i voltage i, bit 16 + i fan i. Null when every reading is delivered at each read.
    const uint32_t* never_read = nullptr;
};

inline constexpr int kNeverReadVoltage = 8;
inline constexpr int kNeverReadFan = 16;

// Five detectors, each contributing at most one sensor.
inline constexpr int kSensorSlots = 5;

struct SensorTable {
    Sensor sensors[kSensorSlots];
    int32_t count;  // sensors detected, from slot 0
};

// The program's one table: empty until sensors_detect runs.
SensorTable& sensor_table();

// Runs the detectors (Winbond, ITE, Port80, LM90, SMI sensor, in that order), each on the slot
// at the current count, and logs how many were found. The Port80 pseudo-sensor always answers,
// so the result is 1 to 5. A null table: nothing runs, 0.
int sensors_detect(SensorTable* table);

// Refreshes the readings of every detected sensor through its driver.
void sensors_read_all(SensorTable* table);

// Writes every control of every detected sensor to its chip.
void sensors_write_controls(SensorTable* table);

// Table index of the first sensor of the type; 0 when the table is null or no sensor has that
// type, which callers cannot tell from a sensor at index 0. Readers of the map use
// sensor_for_pair instead.
int sensor_index_of_type(const SensorTable* table, uint8_t type);

// Which of a sensor's reading arrays a channel indexes.
enum class SensorReading : uint8_t { Temperature, Voltage, Fan };

// How many inputs of a kind the sensor has; a kind without its array counts as none, as does
// a null sensor.
int sensor_input_count(const Sensor* sensor, SensorReading kind);

// The first sensor of the type, when it exists, has that kind of reading and the channel is
// below its count for it; nullptr otherwise (type 0, a type not found, no array, channel past
// the count), where the display shows no value.
const Sensor* sensor_for_pair(const SensorTable& table, uint8_t type, uint8_t channel,
                              SensorReading kind);

// Ten display items, each a (sensor type, channel) pair, in the order of the sensor settings
// tab's list: CPU and SYS temperatures; VCore, VDimm, Vdd, 5V and 12V voltages; FAN1 to FAN3.
inline constexpr int kSensorMapPairs = 10;

struct SensorMap {
    uint8_t bytes[2 * kSensorMapPairs];

    uint8_t type(int pair) const { return bytes[2 * pair]; }
    uint8_t channel(int pair) const { return bytes[2 * pair + 1]; }
};

// A chip a kernel driver owns is not probed: its detector is skipped from now on.
void sensors_leave_to_kernel(uint8_t type);

// Back to the state of a fresh process (no sensors detected), for tests.
void sensors_reset_state();
