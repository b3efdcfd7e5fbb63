// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/scripted_port_backend.h"

namespace {
uint32_t mask(uint8_t width) {
    return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}
}  // namespace

uint32_t ScriptedPortBackend::read(uint8_t width, uint16_t port) {
    if (lost)
        throw PortAccessLost();
    uint32_t value = default_value;
    auto queued = script.find(port);
    if (queued != script.end() && !queued->second.empty()) {
        value = queued->second.front();
        queued->second.pop_front();
    } else if (auto d = defaults.find(port); d != defaults.end()) {
        value = d->second;
    }
    value &= mask(width);
    accesses.push_back(in(width, port, value));
    return value;
}

void ScriptedPortBackend::write(uint8_t width, uint16_t port, uint32_t value) {
    if (lost)
        throw PortAccessLost();
    accesses.push_back(out(width, port, value & mask(width)));
}
