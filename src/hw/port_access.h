// SPDX-License-Identifier: GPL-2.0-or-later
// One recorded port access, as tests compare them and traces print them.
#pragma once

#include <cstdint>
#include <string>

struct PortAccess {
    enum class Dir { In, Out };
    Dir dir;
    uint8_t width;  // 1, 2 or 4 bytes
    uint16_t port;
    uint32_t value;

    bool operator==(const PortAccess&) const = default;
};

// Shorthands for expected access lists: out(1, 0x5103, 0x00), in(1, 0x5101, 0x80).
PortAccess out(uint8_t width, uint16_t port, uint32_t value);
PortAccess in(uint8_t width, uint16_t port, uint32_t value);
std::string describe(const PortAccess& access);  // "out8 0x5103 = 0x00"
