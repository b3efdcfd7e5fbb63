// SPDX-License-Identifier: GPL-2.0-or-later
// The order of the VID-chip writes that moves the core rail from where it is to a new VID code
// and add-on entry. The rail is the VID voltage plus the add-on offset; no write of the
// sequence takes it above the higher of its start and end values, and no write moves it by
// more than one add-on entry or one VID step.
#pragma once

#include <cstdint>
#include <vector>

#include "board/boards.h"

struct VcoreWrite {
    enum class Target { AddOn, Vid };
    Target target;
    uint8_t value;       // the whole register byte to write
    uint32_t settle_ms;  // the pause after the write
    int rail_mv;         // the rail once the regulator follows, millivolts
    bool add_on_done;    // the add-on register holds its final code after this write
};

struct VcoreMove {
    int start_code = 0;         // the VID code the regulator follows now (0..31)
    uint8_t vid_byte = 0;       // what the VID register holds now
    uint8_t add_byte = 0;       // what the add-on register holds now (all its bits)
    int target_code = 0;        // 0..31
    uint8_t target_add = 0;     // the add-on code to end with, within the table's mask
    bool code_by_code = false;  // step the VID one code per write (else one write)
};

// The writes, in order. Empty when the chip already holds the target.
std::vector<VcoreWrite> plan_vcore_move(const VoltageTable& add_on, const VcoreMove& move);

// The pause before the first VID write, after the add-on had its say.
inline constexpr uint32_t kVcoreAddOnPauseMs = 50;
// The regulator's settling time after each code step and each add-on step.
inline constexpr uint32_t kVcoreStepMs = 100;
