// SPDX-License-Identifier: GPL-2.0-or-later
// Real I/O ports through the x86 in and out instructions. Usable only once the operating
// system has granted the process port access (Linux: ioperm for the ports it needs; Windows NT: the
// giveio driver); before that every access throws PortAccessLost instead of faulting.
#pragma once

#include "hw/port_io.h"

class DirectPortBackend : public PortBackend {
  public:
    uint8_t in8(uint16_t port) override;
    uint16_t in16(uint16_t port) override;
    uint32_t in32(uint16_t port) override;
    void out8(uint16_t port, uint8_t value) override;
    void out16(uint16_t port, uint16_t value) override;
    void out32(uint16_t port, uint32_t value) override;
    bool needs_port_grant() const override { return true; }
    void set_port_access(bool granted) override { granted_ = granted; }

  private:
    void check() const {
        if (!granted_)
            throw PortAccessLost();
    }
    bool granted_ = false;
};
