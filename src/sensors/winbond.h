// SPDX-License-Identifier: GPL-2.0-or-later
// The Winbond W83627HF and W83782D hardware monitors, served as sensor type SENSOR_WINBOND:
// three temperatures, seven voltage counts, three fans, and the PWM duty and clock-select
// controls of the fan outputs (two pairs on the W83627HF, four on the W83782D).
#pragma once

#include <cstdint>
#include <string>

#include "sensors/fan_failsafe.h"
#include "sensors/sensor.h"

// The vendor id (0x5CA3 for Winbond), low byte read with bank register 0x4E = 0x00, high byte with
// 0x80.
uint16_t winbond_vendor_id();
inline constexpr uint16_t kWinbondVendorId = 0x5CA3;

// Fills the slot (counts, the driver's arrays, the eight control entries) and answers 1 for a
// W83627HF (chip id 0x21) or W83782D (0x30). A foreign vendor id answers 0 silently, the name
// left as it was; an unknown chip id is logged, the name set to null, and answers 0.
int winbond_detect(Sensor* slot);

// Refreshes every temperature, voltage count, fan speed and control value from the chip.
void winbond_read();

// The fan speeds and the control values alone (part of winbond_read).
void winbond_read_fans();

// Programs the chip's PWM duties and clock selects from the control values: controls 0-3 on
// both chips, 4-7 as well on the W83782D.
void winbond_write();

// The chip through the kernel's driver (w83627hf, w83781d) as hwmon device `index` of that
// name ("w83627hf", "w83782d"): detection, readings and controls through its attributes, and
// no port touched. What has no attribute is lost there: the W83782D's PWM clock selects keep
// their values and are not written. A name the driver does not handle: false, nothing taken.
bool winbond_use_hwmon(int index, const std::string& name);
// The output of that pwm file ("pwm2") is another program's (`holder`): never written, and
// its control says so. After winbond_use_hwmon.
void winbond_hold_pwm(const std::string& file, const char* holder);

// Back to the state of a fresh process (nothing detected, all readings 0), for tests.
void winbond_reset_state();

// The port writes that set the duty of PWM control `control` to full speed (bank 0 selected
// first), into out (room for 4); their number, 0 for a control that is no duty. Through the
// kernel's driver: one write of 255 to the control's pwm file.
int winbond_full_speed_writes(int control, PortWrite* out);
