// SPDX-License-Identifier: GPL-2.0-or-later
// The six I/O-port primitives. Every hardware access of velmora ends in one of them; each is a
// single access of exactly its width, with no delay, retry or check, made through the one
// installed PortBackend.
#pragma once

#include <cstdint>
#include <stdexcept>

// Where the port accesses go: the real board, the simulated board, or a test script.
class PortBackend {
  public:
    virtual ~PortBackend() = default;
    virtual uint8_t in8(uint16_t port) = 0;
    virtual uint16_t in16(uint16_t port) = 0;
    virtual uint32_t in32(uint16_t port) = 0;
    virtual void out8(uint16_t port, uint8_t value) = 0;
    virtual void out16(uint16_t port, uint16_t value) = 0;
    virtual void out32(uint16_t port, uint32_t value) = 0;

    // Whether the operating system must grant the process port access before this backend
    // may be used (real ports), and the news that it has.
    virtual bool needs_port_grant() const { return false; }
    virtual void set_port_access(bool /*granted*/) {}
};

// The process holds no port permission (not granted, or lost in a standby). The one fault
// that crosses modules as an exception; only the sensor update cycle catches it.
class PortAccessLost : public std::runtime_error {
  public:
    PortAccessLost() : std::runtime_error("I/O port access lost") {}
};

// A bus with nothing on it: reads give all ones, writes go nowhere. The backend in force
// until another is installed, so nothing reaches real ports by accident.
class FloatingBusBackend : public PortBackend {
  public:
    uint8_t in8(uint16_t) override { return 0xFF; }
    uint16_t in16(uint16_t) override { return 0xFFFF; }
    uint32_t in32(uint16_t) override { return 0xFFFFFFFFu; }
    void out8(uint16_t, uint8_t) override {}
    void out16(uint16_t, uint16_t) override {}
    void out32(uint16_t, uint32_t) override {}
};

PortBackend& port_backend();
void install_port_backend(PortBackend* backend);  // nullptr restores the floating bus

// Value first, then port, in every output operation.
inline void port_out8(uint8_t value, uint16_t port) {
    port_backend().out8(port, value);
}
inline void port_out16(uint16_t value, uint16_t port) {
    port_backend().out16(port, value);
}
inline void port_out32(uint32_t value, uint16_t port) {
    port_backend().out32(port, value);
}
inline uint8_t port_in8(uint16_t port) {
    return port_backend().in8(port);
}
inline uint16_t port_in16(uint16_t port) {
    return port_backend().in16(port);
}
inline uint32_t port_in32(uint16_t port) {
    return port_backend().in32(port);
}
