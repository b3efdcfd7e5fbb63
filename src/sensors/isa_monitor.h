// SPDX-License-Identifier: GPL-2.0-or-later
// The hardware monitor behind the index/data port pair at 0x295/0x296 (I/O base 0x290, offsets
// 5 and 6), as the Winbond and ITE monitors both answer it: register access, the chip id, and
// the conversion of a fan tachometer count to revolutions per minute.
#pragma once

#include <cstdint>

inline constexpr uint16_t HWMON_INDEX_PORT = 0x295;  // takes the register number
inline constexpr uint16_t HWMON_DATA_PORT = 0x296;   // then reads or writes that register

// Chip id register of both monitors' register files.
inline constexpr uint8_t HWMON_REG_CHIPID = 0x58;

// The register number to the index port, then the value to the data port. The pair is
// stateful: nothing else may use the two ports between the halves.
void hwmon_write_register(uint8_t reg, uint8_t value);

// The register number to the index port, then a read of the data port.
uint8_t hwmon_read_register(uint8_t reg);

// Register 0x58 of the monitor.
uint8_t hwmon_chip_id();

// The tachometer counts a 22.5 kHz clock over one revolution of the fan after the chip's
// divisor, so rpm = 1 350 000 / (count x divisor), for fast fans too (the chips count every
// fan over one revolution).
inline constexpr uint32_t HWMON_FAN_CLOCK_RPM = 1350000;
inline constexpr uint8_t HWMON_FAN8_OVERFLOW = 255;  // 8-bit count: fan stopped or absent

// The conversion for counts of any width: count and divisor as they stand (no overflow value
// is recognised here), 0 when either is 0, the result capped at 65535 rpm.
uint16_t fan_rpm_from_count(uint32_t count, uint32_t divisor);

// An 8-bit counter with divisor 2^exponent: a count of 255 is a stopped or absent fan (0 rpm),
// as is an exponent too large for any divisor.
uint16_t fan_count_to_rpm(uint16_t count, uint8_t exponent);
