// SPDX-License-Identifier: GPL-2.0-or-later
// The board's voltages in volts: VID codes, the board's voltage tables, and the four setters
// that program them into the VID chip of the working Board.
#pragma once

#include <cstdint>

#include "board/boards.h"

// What table_code_of_value gives when no value of the table fits.
inline constexpr uint8_t TABLE_NO_CODE = 255;

// Volts of a VID code: 1.850 V for code 0 down to 1.075 V for code 31, 25 mV apart. Bits above
// the five code bits (the enable bit among them) are ignored.
double vid_to_voltage(int code);

// The VID code nearest to v: trunc((1.85 - v) * 40 + 0.5). Not limited to five bits: below
// about 1.0625 V it exceeds 31, above about 1.8875 V it is negative.
int voltage_to_vid(double v);

// Whether two voltages are the same in whole millivolts, finer than any board sets: values
// read from the chip, taken from a track bar and read back from a file ("%.3f") differ in
// their last bits.
bool same_volts(double a, double b);

// The values of a table are those before TABLE_END.
double table_min(const VoltageTable& table);  // the first value; 0.0 for an empty table
double table_max(const VoltageTable& table);  // the last value; 0.0 for an empty table
int table_count(const VoltageTable& table);
// Index of the value exactly equal to v; 0 when none is.
int table_index_of(const VoltageTable& table, double v);
// The first value whose code equals code & mask; 0.0 when none does.
double table_value_of_code(const VoltageTable& table, uint8_t code);
// The value the chip currently selects, from the board's register mirror; 0.0 when none.
double table_value_of_register(const Board& board, const VoltageTable& table);

// The code for v, or TABLE_NO_CODE. An exact match in any of the ten slots wins (the slots
// after TABLE_END hold 0.0 with code 0). Otherwise, walking the slots, at the first one
// farther from v than its predecessor the predecessor is taken: for an ascending table the
// nearest value, ties going to the higher one. A predecessor of 0.0 is not taken; the low
// byte of the integer part of the farther value is given instead, which for the add-on
// tables (0.0 first, sub-volt offsets, largest offset coded 0x00) means the largest offset.
uint8_t table_code_of_value(const VoltageTable& table, double v);

// The setters program the working Board's chip and return 0, ERR_SMB_WRITE, or the setter's
// own error (ERR_INVALID_VCORE, ERR_INVALID_VDIMM, ERR_INVALID_VDD, ERR_INVALID_VAGP) for a
// voltage the board cannot set, in which case nothing is written. Each reads the chip's
// registers first and changes only its own bits.
//
// set_vcore refuses (ERR_INVALID_VCORE, nothing written) a voltage whose VID code is 11111 unless
// allow_regulator_off: a VRM 9.0 regulator, which every Socket A board has, reads that code as
// "no CPU" and switches the core off. Ask the user first (vcore_switches_regulator_off).
int set_vcore(Board& board, double v, bool allow_regulator_off = false);
// The core voltage that set_vcore programs for v: the VID code's voltage plus the add-on's
// offset it selects, which for a v between two codes is the nearer code (1.650 for 1.64). v
// itself when set_vcore would refuse it.
double vcore_setting(const Board& board, double v);
// Whether set_vcore would program VID code 11111 for v.
bool vcore_switches_regulator_off(const Board& board, double v);
int set_vdimm(Board& board, double v);
int set_vdd(Board& board, double v);
int set_vagp(Board& board, double v);
