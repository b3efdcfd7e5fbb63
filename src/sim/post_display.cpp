// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/post_display.h"

namespace {
constexpr const char* kWritesKey = "writes";
}  // namespace

PostDisplay::PostDisplay(SimWorld* world) : world_(world) {
    reset();
}

void PostDisplay::reset() {
    // Once the BIOS has handed over to the boot loader its last checkpoint stays on the
    // display; the simulated BIOS leaves 00.
    latch_ = 0x00;
    writes_ = 0;
}

void PostDisplay::save(StateSection& out) const {
    out.set_u8("display", latch_);
    out.set_int(kWritesKey, writes_);
}

void PostDisplay::load(const StateSection& in, SimLoadReport& report) {
    reset();
    if (!in.get_u8("display", latch_))
        report.problem("PORT80: display missing or invalid, power-on value used");
    if (!in.find(kWritesKey))
        return;  // files from before the count: no writes yet
    int64_t writes = 0;
    if (in.get_int(kWritesKey, writes) && writes >= 0 && writes <= UINT32_MAX)
        writes_ = static_cast<uint32_t>(writes);
    else
        report.problem("PORT80: writes invalid, power-on value used");
}

uint32_t PostDisplay::in(uint16_t port, int width) {
    // The latch reads back on this board (many chipsets forward the read to the LPC bus,
    // where the display's latch answers). Bytes of a wider access beyond port 0x80 belong to
    // other devices and float here.
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        uint16_t p = static_cast<uint16_t>(port + i);
        uint32_t byte = p == kPostDisplayPort ? latch_ : 0xFF;
        value |= byte << (8 * i);
    }
    return value;
}

void PostDisplay::out(uint16_t port, int width, uint32_t value) {
    for (int i = 0; i < width; ++i) {
        if (static_cast<uint16_t>(port + i) != kPostDisplayPort)
            continue;
        latch_ = static_cast<uint8_t>(value >> (8 * i));
        ++writes_;
        if (world_)
            ++world_->state_changes;
    }
}
