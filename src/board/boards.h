// SPDX-License-Identifier: GPL-2.0-or-later
// The table of supported mainboards: where each board's VID chip sits and which of its bits
// select which voltage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Ends the values of a VoltageTable; an empty table starts with it.
inline constexpr double TABLE_END = 65535.0;
inline constexpr int kTableSlots = 10;

// The selectable settings of one voltage control of one board: the bits `mask` of VID-chip
// register `reg`, and for each value (volts, in table order) the bit pattern that selects it,
// already shifted into place. Slots after TABLE_END hold 0.0 and code 0.
struct VoltageTable {
    uint8_t reg = 0;
    uint8_t mask = 0;
    double values[kTableSlots] = {TABLE_END};
    uint8_t codes[kTableSlots] = {};
};

// The SMBus chip that sets the voltages (ATXP1, or the MS-3 on one board).
struct VidChip {
    uint8_t bus = 0;
    uint8_t address = 0;         // 7-bit; 0 = search for the chip at start-up
    uint8_t registers[16] = {};  // the chip's registers as last read
    // The device at the address answered as the chip it is taken for (vid_chip_identify);
    // until then nothing is written to it.
    bool identified = false;
};

struct Board {
    std::string name;  // as shown in the caption, the board list and the log
    std::string id;    // contains the name the BIOS reports
    uint16_t vendor = 0;
    uint16_t version = 0;
    VidChip chip;
    double vcore_min = 0.0;
    double vcore_max = 0.0;
    VoltageTable vcore_add;  // offsets on top of the VID voltage, to reach above 1.85 V
    VoltageTable vdimm;
    VoltageTable vdd;
    VoltageTable vagp;
};

inline constexpr int NO_BOARD = 255;

// Fills the list with the 15 supported boards in table order, logs it and returns 15.
int boards_init(std::vector<Board>& list);

// The board whose vendor equals the low byte of board_info and whose id contains the BIOS's
// board name; one whose version also equals board_info >> 16 wins at once, otherwise the last
// match. NO_BOARD when none matches.
int board_lookup(const std::vector<Board>& list, int count, uint32_t board_info,
                 const std::string& board_name);
