// SPDX-License-Identifier: GPL-2.0-or-later
// How velmora reaches each of the board's resources on Linux, decided at start from who owns
// it (see kernel_owners.h) while the process still holds its privileges: PCI configuration
// through sysfs always; each SMBus host through i2c-dev where the kernel's adapter driver owns
// it, else through its ports at the base the chipset gives; sensor chips a kernel driver owns
// read through their hwmon attributes; FSB changes refused while cpufreq's nforce2 driver
// drives the clock; ports granted only for what velmora reaches itself. Only real conflicts
// are refused, each with a message that names the driver and what to do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/kernel_owners.h"
#include "hw/pci.h"
#include "platform/platform.h"

// The I/O bases of the two SMBus hosts.
struct SmbusHostBases {
    uint16_t host0 = 0;
    uint16_t host1 = 0;
};

// The bases as the chipset's SMBus function 00:01.1 holds them in registers 0x50 and 0x54
// (bits 0 and 1 masked off), as the kernel's adapter driver takes them. 0 for a host whose
// register cannot be read.
SmbusHostBases read_smbus_host_bases();

// The functions of the nForce2 velmora reads or writes: host bridge 00:00.0, memory
// controller 00:00.1, the boot clock 00:00.5, the SMBus function 00:01.1, the PCI bridge
// 00:08.0 and the AGP bridge 00:1e.0.
extern const std::vector<PciFunctionId> kNforce2Functions;

// The ports a run on the real board may need when nothing is known of the kernel: the SMI
// interface, CMOS, port 80h, the monitor, both SMBus hosts at their usual bases and the PCI
// configuration ports.
std::vector<PortRange> all_board_port_ranges();
// "0x70-0x71, 0x80, ..." for the log.
std::string port_ranges_text(const std::vector<PortRange>& ranges);

struct KernelAccess {
    KernelOwners owners;
    // The ports velmora itself must reach: the SMI interface, CMOS and port 80h, which have no
    // kernel interface, and the chips no driver owns (or --ignore-kernel-drivers gave back).
    std::vector<PortRange> port_ranges = all_board_port_ranges();
    int adapter_of_host[2] = {-1, -1};  // i2c adapter number of each host reached through it
    std::string fsb_refusal;            // why FSB changes are refused; "" when they are not
    std::vector<std::string> messages;  // for the user, in the order found
};

// Reads the owners, opens what the kernel offers (the config files, /dev/i2c-N), sends the
// hosts' transactions where they belong, leaves kernel-owned sensor chips out, and logs one
// line per resource: what owns it and how velmora reaches it. With ignore_drivers
// (--ignore-kernel-drivers) the SMBus hosts and the monitors are reached through their ports
// whoever owns them, as before velmora knew the kernel's interfaces.
KernelAccess take_kernel_access(bool ignore_drivers);

// The message for a VID chip at the address that a kernel driver has bound (the atxp1 driver):
// it names the driver and the command that unbinds it. "" when no driver has bound it.
std::string vid_chip_driver_refusal(const KernelAccess& access, uint8_t bus, uint8_t address);
