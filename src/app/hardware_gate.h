// SPDX-License-Identifier: GPL-2.0-or-later
// What velmora checks on a real board before it trusts the ports: that the SMBus hosts sit
// where an nForce2 has them, and that no kernel driver uses the same chips.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Prompts;

// The I/O bases of the two SMBus hosts.
struct SmbusHostBases {
    uint16_t host0 = 0;
    uint16_t host1 = 0;
};

// The bases as the chipset's SMBus function 00:01.1 holds them in registers 0x50 and 0x54,
// read through the PCI configuration ports: sysfs shows an unprivileged reader only the first
// 64 bytes of configuration space. Bit 0 (I/O space) and bit 1 are masked off.
SmbusHostBases read_smbus_host_bases();

// Whether the hosts are at 0x5000 and 0x5100, where the SMBus code addresses them.
bool smbus_host_bases_expected(const SmbusHostBases& bases);

// When the hosts are elsewhere, the SMBus is blocked (voltages can be neither read nor set),
// and the log and the user are told; the start goes on, FSB and RAM timings do not need it.
void gate_smbus_hosts(const SmbusHostBases& bases, Prompts& prompts);

// Kernel drivers that use the board's SMBus host or its sensor chips.
struct KernelDriverFindings {
    std::vector<std::string> modules;  // loaded or registered, by module name
    std::vector<std::string> regions;  // I/O regions held by a driver not among the modules
    bool empty() const { return modules.empty() && regions.empty(); }
};

// Looks in the platform's procfs (modules, ioports: region names only, as the addresses read
// as zero without CAP_SYS_ADMIN) and sysfs (bus/*/drivers/<driver>, module/<module>).
KernelDriverFindings find_kernel_drivers();

// The message that refuses the real hardware because of the drivers found.
std::string kernel_driver_refusal_text(const KernelDriverFindings& found);

// True when the start may go on: no driver found, or --ignore-kernel-drivers given (which is
// logged). Otherwise logs what was found and tells the user how to unload it; the caller ends
// the process before any SMBus access, since two drivers interleaving transactions on one
// host can send a byte to the wrong device.
bool gate_kernel_drivers(const std::vector<std::string>& args, Prompts& prompts);
