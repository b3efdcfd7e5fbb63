// SPDX-License-Identifier: GPL-2.0-or-later
// A port backend for tests and benchmarks: records every access and answers reads from a
// script per port, then from a default per port, then from one default for all.
#pragma once

#include <deque>
#include <map>
#include <vector>

#include "hw/port_access.h"
#include "hw/port_io.h"

class ScriptedPortBackend : public PortBackend {
  public:
    uint8_t in8(uint16_t port) override { return static_cast<uint8_t>(read(1, port)); }
    uint16_t in16(uint16_t port) override { return static_cast<uint16_t>(read(2, port)); }
    uint32_t in32(uint16_t port) override { return read(4, port); }
    void out8(uint16_t port, uint8_t value) override { write(1, port, value); }
    void out16(uint16_t port, uint16_t value) override { write(2, port, value); }
    void out32(uint16_t port, uint32_t value) override { write(4, port, value); }
    bool needs_port_grant() const override { return needs_grant; }
    void set_port_access(bool granted) override { access_granted = granted; }

    std::vector<PortAccess> accesses;
    std::map<uint16_t, std::deque<uint32_t>> script;  // consumed read by read
    std::map<uint16_t, uint32_t> defaults;
    uint32_t default_value = 0xFFFFFFFFu;
    bool needs_grant = false;
    bool access_granted = false;
    bool lost = false;  // every access throws PortAccessLost

  private:
    uint32_t read(uint8_t width, uint16_t port);
    void write(uint8_t width, uint16_t port, uint32_t value);
};
