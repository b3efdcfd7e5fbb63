// SPDX-License-Identifier: GPL-2.0-or-later
// The LM90 remote-diode temperature sensor on the chipset's SMBus: the CPU's thermal diode and
// the chip's own die temperature, and its conversion rate as the one control.
#pragma once

#include <cstdint>
#include <string>

#include "sensors/sensor.h"

inline constexpr uint8_t LM90_ADDRESS = 0x4C;  // 7-bit SMBus address

// Fills the slot with the LM90's record, then looks for the chip on bus 0 and then bus 1 by its
// maker's id; 1 found (the bus is kept for later transactions), 0 absent, silently.
int lm90_detect(Sensor* slot);

// Refreshes temperature 0 (remote diode), temperature 1 (local) and the conversion rate. A value
// whose transaction fails keeps its previous reading.
void lm90_read();

// Writes the conversion-rate control to the chip, clamped to 9 in the control itself. Nothing
// reaches the chip until a read has taken the rate from it once since detection, so an
// untouched control never overwrites the chip's own rate with 0.
void lm90_write();

// The chip through the kernel's lm90 driver as hwmon device `index` named "lm90" or "lm99":
// the same record through its attributes, no SMBus transaction. Another name: false.
bool lm90_use_hwmon(int index, const std::string& name);

// Back to the state of a fresh process (bus 0, readings and control 0), for tests.
void lm90_reset_state();
