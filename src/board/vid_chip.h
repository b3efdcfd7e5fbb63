// SPDX-License-Identifier: GPL-2.0-or-later
// The voltage chip on the SMBus: an ATXP1 VID programming chip at 0x37 or 0x4E, or the "MS-3"
// of the MSI board at 0x1B. Finding it, mirroring its registers into the VidChip record, and
// writing one register.
#pragma once

#include <cstdint>

#include "board/boards.h"

// 7-bit SMBus addresses, in the order the search tries them.
inline constexpr uint8_t VID_CHIP_MS3_ADDRESS = 0x1B;
inline constexpr uint8_t VID_CHIP_ATXP1_ADDRESS_A = 0x37;
inline constexpr uint8_t VID_CHIP_ATXP1_ADDRESS_B = 0x4E;

// ATXP1 registers: 0x00 holds the VID code the regulator follows (bits 4-0, 1.850 V for
// code 0 down to 1.075 V for code 31, 25 mV apart) and its enable bit (bit 5); 0x06 and 0x0A
// are the GPIO registers the boards wire to their other voltage selectors.
inline constexpr uint8_t VID_CHIP_ATXP1_REG_VID = 0x00;
inline constexpr uint8_t VID_CHIP_ATXP1_REG_CPU_VID = 0x01;  // the CPU's VID pins, read-only
inline constexpr uint8_t VID_CHIP_ATXP1_REG_GPIO1 = 0x06;
inline constexpr uint8_t VID_CHIP_ATXP1_REG_GPIO2 = 0x0A;
inline constexpr uint8_t VID_CHIP_ATXP1_VID_ENABLE = 0x20;
inline constexpr uint8_t VID_CHIP_VID_CODE_MASK = 0x1F;

// The two MS-3 registers velmora knows; 0x0D is the one the search probes.
inline constexpr uint8_t VID_CHIP_MS3_REG_STATUS = 0x0C;
inline constexpr uint8_t VID_CHIP_MS3_REG_ID = 0x0D;

// Looks for the chip at 0x1B, 0x37 and 0x4E, each on bus 0 and then bus 1. An ATXP1 address
// that answers must also pass vid_chip_identify. 1 with bus and address filled in (and the
// chip identified), 0 (record untouched) when nothing answers.
int vid_chip_search(VidChip& chip);

// Whether the device at the chip's address is an ATXP1, checked as far as reads can tell
// before anything is written to it: the chip has no vendor or device id, so its id registers
// 0x3E, 0x3F, 0xFE and 0xFF read 0, and the registers 0x10 and 0x11, which it does not have,
// read back register 0. Every read must complete. Another device at 0x37 or 0x4E (a sensor or
// an EEPROM) fails one of these and is never sent a VID byte. The MS-3 has its own probe in
// the search and passes. Sets chip.identified when it passes; logs when it does not.
bool vid_chip_identify(VidChip& chip);

// Refreshes the mirror: for the MS-3 registers 0x0C and 0x0D into entries 0 and 1, for an
// ATXP1 registers 0-4, 6 and 0x0A into the entries of the same number. 50 ms per register. A
// read that fails leaves 0 in its entry.
void vid_chip_read_registers(VidChip& chip);

// How many of the registers a refresh asked for, and how many of them answered.
struct VidChipRead {
    int asked = 0;
    int answered = 0;
    bool complete() const { return answered == asked; }
    bool silent() const { return answered == 0; }
};
// The same refresh, telling which reads completed: a chip whose reads all fail is not there,
// and a setter must not merge its bits into a register that was not read.
VidChipRead vid_chip_read_registers_checked(VidChip& chip);

// The VID code (0..31) the core regulator follows now, from the mirror. An ATXP1 hands the
// regulator its own code (register 0) only while its enable bit is set; with the bit clear
// the regulator follows the CPU's VID pins, which the chip shows in register 1. On the MS-3
// the code is that of mirror entry 0.
int vid_chip_current_code(const VidChip& chip);

// 0, or ERR_SMB_WRITE when the transaction did not complete. The mirror is not updated.
int vid_chip_write_register(const VidChip& chip, uint8_t reg, uint8_t value);
