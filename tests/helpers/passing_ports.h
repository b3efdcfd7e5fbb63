// SPDX-License-Identifier: GPL-2.0-or-later
// A port backend that passes every access on to another one (the simulated board) and shows
// each write to a test first, which may note it or throw in its place.
#pragma once

#include <cstdint>

#include "hw/port_io.h"

class PassingPorts : public PortBackend {
  public:
    explicit PassingPorts(PortBackend& inner) : inner_(inner) {}
    uint8_t in8(uint16_t port) override { return inner_.in8(port); }
    uint16_t in16(uint16_t port) override { return inner_.in16(port); }
    uint32_t in32(uint16_t port) override { return inner_.in32(port); }
    void out8(uint16_t port, uint8_t value) override {
        before_write(port, value);
        inner_.out8(port, value);
    }
    void out16(uint16_t port, uint16_t value) override {
        before_write(port, value);
        inner_.out16(port, value);
    }
    void out32(uint16_t port, uint32_t value) override {
        before_write(port, value);
        inner_.out32(port, value);
    }

  protected:
    virtual void before_write(uint16_t port, uint32_t value) = 0;

  private:
    PortBackend& inner_;
};
