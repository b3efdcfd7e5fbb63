// SPDX-License-Identifier: GPL-2.0-or-later
// Fan speed from the CPU temperature: every fan PWM control of the detected monitor chips
// follows its own straight line from (temp min, duty min) to (temp max, duty max). The list
// of controls is built once from the sensor table; each control's settings live in
// autofan.ini, one section "ID<sensor type>.<control index>" per control.
#pragma once

#include <cstdint>
#include <vector>

#include "sensors/sensor.h"

inline constexpr const char* kAutoFanFile = "autofan.ini";

struct AutoFanEntry {
    uint8_t enabled = 0;      // driven by the temperature
    uint8_t auto_adjust = 0;  // widen the temperature range to every temperature seen
    uint8_t sensor_type = 0;  // type byte of the sensor that owns the control
    uint8_t control_index = 0;
    uint8_t duty_min = 255;  // at and below temp min
    uint8_t duty_max = 255;  // at and above temp max
    uint8_t temp_max = 50;   // degrees Celsius
    uint8_t temp_min = 20;
    // The duty asked for at the last step, -1 before the first: a fan raised from below
    // kSpinUpBelow may stand still, and gets one step at full duty first.
    int16_t last_duty = -1;
};

inline constexpr int kSpinUpBelow = 64;

// An entry's number is its place in `entries`: the fan control number of the window and of
// the log lines.
struct AutoFanList {
    std::vector<AutoFanEntry> entries;
    // An implausible CPU temperature has been reported and not yet followed by a plausible
    // one: the report is logged once per episode.
    bool implausible_reported = false;

    int count() const { return static_cast<int>(entries.size()); }
};

// Lists the PWM controls of the first `sensor_count` sensors, each sensor's controls from the
// last to the first, all with the default settings. The earlier list is dropped. Result: the
// number of entries, 0 for none or failure; `*out` (when given) points at the module's list.
int autofan_find(SensorTable* sensors, int sensor_count, AutoFanList** out);

// Reads each entry's settings from autofan.ini; missing keys keep their values. An inverted
// range (duty max below duty min, temp min above temp max) is straightened in memory: duty
// max rises to duty min, temp min comes down to temp max. Result: the number of keys read.
int autofan_load(AutoFanList* list);

// Writes every entry's settings to autofan.ini in one write. Result: the number of keys
// written, 0 when the file could not be written.
int autofan_save(const AutoFanList* list);

// The duty of an entry at temperature `t`: duty min below temp min, duty max above temp max
// and on the line between, clamped to the duties in whole numbers before it becomes a byte.
uint8_t autofan_duty(const AutoFanEntry& entry, int32_t t);

// One step: stores each enabled entry's duty for the CPU temperature into its control and
// turns on the software fan switch of every sensor with an enabled entry, off for a sensor
// whose entries are all disabled. A temperature of 0 or below, or 127 and above, is a failed
// reading: the enabled fans go to full speed and nothing is learned from it. Result: the
// number of enabled entries served. A fan raised from a duty below kSpinUpBelow gets one step
// at 255 first, so that it starts (a fan that stands still may not start at a low duty). An
// ITE control takes the duty as sensor_pwm_value gives it.
int autofan_update(AutoFanList* list, SensorTable* sensors, int32_t cpu_temperature);

// Every CONTROL_FAN_ENABLE control of the sensor of entry `entry` takes `value`.
void autofan_set_enable_controls(const AutoFanList* list, SensorTable* sensors, int entry,
                                 uint8_t value);

// Every listed control to full speed (255; 127 on an ITE). Result 1; 0 when the list or the
// sensors are missing.
int autofan_full_speed(AutoFanList* list, SensorTable* sensors);

// The port writes that set every enabled entry's fan to full speed become the list the fan
// failsafe replays if the process dies (see sensors/fan_failsafe.h). autofan_update calls it.
void autofan_arm_failsafe(const AutoFanList* list, const SensorTable* sensors);

// Every enabled entry's control to full speed, as when AutoFAN is switched off: a fan it
// drove low must not stay low with nobody watching the temperature. Result: the entries set.
int autofan_release(AutoFanList* list, SensorTable* sensors);

// The control an entry drives, nullptr when its sensor or control is not in the table.
SensorControl* autofan_control(const AutoFanEntry& entry, SensorTable* sensors);

// Drops the list, as at program start; for tests.
void autofan_reset_state();
