// SPDX-License-Identifier: GPL-2.0-or-later
// PCI configuration space through configuration mechanism #1: the address register at 0xCF8
// and the data window 0xCFC-0xCFF. No bus scan, no check that the device exists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint16_t PCI_CONFIG_ADDRESS = 0xCF8;
inline constexpr uint16_t PCI_CONFIG_DATA = 0xCFC;

// The configuration address of a register: enable bit, bus, device (5 bits), function (3
// bits) and the dword-aligned register offset.
constexpr uint32_t pci_config_address(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg) {
    return 0x80000000u | (uint32_t{bus} << 16) | (uint32_t{device & 0x1Fu} << 11) |
           (uint32_t{function & 0x7u} << 8) | (reg & 0xFCu);
}

// Reads 1, 2 or 4 bytes at the register into the cell: a byte is zero-extended over the
// whole cell, a word replaces only the low half (callers clear the cell first), a dword the
// whole cell. 1 on success, 0 for any other width (the address register is written even then).
int pci_config_read(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg, uint32_t& value,
                    int width);

// Writes the low byte, the low word or the whole cell, then clears the address register.
// 1 on success, 0 for any other width.
int pci_config_write(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg, uint32_t value,
                     int width);

// On Linux the kernel serialises its own configuration cycles with a lock user space cannot
// take, so velmora goes through each function's sysfs file there instead of the ports: one
// pread or pwrite of exactly the access's width, which the kernel makes one cycle. The files
// must be opened while the process still has its privileges: opened without CAP_SYS_ADMIN
// they show the first 64 bytes only, and a read past them returns nothing.
struct PciFunctionId {
    uint8_t device;
    uint8_t function;
};
// Opens the config file of each function of bus 0 through the kernel seam (for writing, where
// the kernel allows it) and sends every later access there; an access to a function not
// opened then fails instead of going to the ports. Empty when all opened, else the first
// failure ("0000:00:00.0: Permission denied").
std::string pci_use_sysfs(const std::vector<PciFunctionId>& functions);
bool pci_through_sysfs();
// Closes the files: the ports again.
void pci_use_ports();
