// SPDX-License-Identifier: GPL-2.0-or-later
// The POST-code display: a two-digit display of the last byte written to I/O port 0x80, served
// as a pseudo-sensor with no readings and one control, the byte to show.
#pragma once

#include "sensors/sensor.h"

inline constexpr uint16_t PORT80_PORT = 0x80;

// Fills the slot with the pseudo-sensor; always found (1). The control value is kept.
int port80_detect(Sensor* slot);

// Puts the control value on port 0x80.
void port80_write();

// The display's byte as the table holds it: the control of the table's port-80h sensor, or
// nullptr when the table has none (before detection).
SensorControl* port80_display(SensorTable& table);

// Back to the state of a fresh process (control value 0), for tests.
void port80_reset_state();
