// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/port_access.h"

#include <cstdio>

PortAccess out(uint8_t width, uint16_t port, uint32_t value) {
    return {PortAccess::Dir::Out, width, port, value};
}

PortAccess in(uint8_t width, uint16_t port, uint32_t value) {
    return {PortAccess::Dir::In, width, port, value};
}

std::string describe(const PortAccess& a) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%d 0x%04x = 0x%0*x",
                  a.dir == PortAccess::Dir::In ? "in" : "out", a.width * 8, a.port, a.width * 2,
                  a.value);
    return buf;
}
