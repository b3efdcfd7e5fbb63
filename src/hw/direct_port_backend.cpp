// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/direct_port_backend.h"

#if defined(__x86_64__) || defined(__i386__)

uint8_t DirectPortBackend::in8(uint16_t port) {
    check();
    uint8_t value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(port));
    return value;
}

uint16_t DirectPortBackend::in16(uint16_t port) {
    check();
    uint16_t value;
    __asm__ __volatile__("inw %w1, %w0" : "=a"(value) : "Nd"(port));
    return value;
}

uint32_t DirectPortBackend::in32(uint16_t port) {
    check();
    uint32_t value;
    __asm__ __volatile__("inl %w1, %0" : "=a"(value) : "Nd"(port));
    return value;
}

void DirectPortBackend::out8(uint16_t port, uint8_t value) {
    check();
    __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(port));
}

void DirectPortBackend::out16(uint16_t port, uint16_t value) {
    check();
    __asm__ __volatile__("outw %w0, %w1" : : "a"(value), "Nd"(port));
}

void DirectPortBackend::out32(uint16_t port, uint32_t value) {
    check();
    __asm__ __volatile__("outl %0, %w1" : : "a"(value), "Nd"(port));
}

#else

// Not an x86 machine: there are no I/O ports to reach.
uint8_t DirectPortBackend::in8(uint16_t) {
    throw PortAccessLost();
}
uint16_t DirectPortBackend::in16(uint16_t) {
    throw PortAccessLost();
}
uint32_t DirectPortBackend::in32(uint16_t) {
    throw PortAccessLost();
}
void DirectPortBackend::out8(uint16_t, uint8_t) {
    throw PortAccessLost();
}
void DirectPortBackend::out16(uint16_t, uint16_t) {
    throw PortAccessLost();
}
void DirectPortBackend::out32(uint16_t, uint32_t) {
    throw PortAccessLost();
}

#endif
