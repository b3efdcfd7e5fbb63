// SPDX-License-Identifier: GPL-2.0-or-later
// The ITE IT8712F hardware monitor, served as sensor type SENSOR_ITE: three temperatures, nine
// voltage counts, three fans with optional 16-bit counters, the three PWM outputs and a switch
// that hands the fans to software control.
#pragma once

#include <string>

#include "sensors/fan_failsafe.h"
#include "sensors/sensor.h"

// Fills the slot (counts, the driver's arrays, the four control entries, software fan control
// off) and answers 1 for chip id 0x90. Any other id is logged, the name set to null, and
// answers 0.
int ite_detect(Sensor* slot);

// Refreshes every temperature, voltage count and fan speed, and the PWM controls with their
// registers' whole bytes (bit 7 set: the chip's automatic control; clear: a duty of 0-127).
void ite_read();

// With software fan control on, puts fans 1-3 in PWM mode and programs each PWM output from
// its control: 0 stops the fan, 1-127 is that duty, 128 and above hand the fan back to the
// chip's automatic control on the temperature input the BIOS chose. Off: touches nothing.
void ite_write();

// The chip through the kernel's it87 driver as hwmon device `index` named "it8712": the same
// record and controls through its attributes, no port touched. Another name: false.
bool ite_use_hwmon(int index, const std::string& name);
// The output of that pwm file ("pwm2") is another program's (`holder`): never written, its
// control says so. After ite_use_hwmon.
void ite_hold_pwm(const std::string& file, const char* holder);

// Back to the state of a fresh process (nothing detected, all readings 0), for tests.
void ite_reset_state();

// The port writes that set PWM control `control` (0-2) to software duty 127, its full speed,
// into out (room for 2); their number, 0 for another control. Through the kernel's driver: 255
// to the control's pwm file, which the driver halves into the same 127.
int ite_full_speed_writes(int control, PortWrite* out);
