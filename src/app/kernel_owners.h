// SPDX-License-Identifier: GPL-2.0-or-later
// Who owns the board's resources on a Linux machine, as the kernel shows it at start: the
// driver bound to the chipset's SMBus function and its adapters, the i2c clients and their
// drivers, the hwmon devices, procfs ioports, the cpufreq driver, and a running fancontrol.
// Read through the kernel seam, so that a made-up tree stands for the kernel in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct I2cAdapter {
    int number = -1;        // /dev/i2c-N
    uint16_t base = 0;      // the host's I/O base, from "SMBus nForce2 adapter at 5000"
    bool dev_node = false;  // /dev/i2c-N is there (i2c-dev loaded)
};

struct I2cClient {
    int adapter = -1;
    uint8_t address = 0;
    std::string name;    // the client's name ("atxp1", "lm90")
    std::string driver;  // the driver bound to it; "" when none is
};

struct HwmonDevice {
    int index = -1;  // /sys/class/hwmon/hwmonN
    std::string name;
};

struct IoRegion {
    uint16_t first = 0, last = 0;
    std::string owner;
};

struct KernelOwners {
    std::string smbus_driver;  // bound to 0000:00:01.1; "" when none is
    std::vector<I2cAdapter> adapters;
    std::vector<I2cClient> clients;
    std::vector<HwmonDevice> hwmon;
    std::vector<IoRegion> regions;
    std::string cpufreq_driver;                   // of cpu0; "" when none
    int fancontrol_pid = 0;                       // a running fancontrol; 0 when none
    std::vector<std::string> fancontrol_outputs;  // the outputs it drives: "hwmon1/pwm1"

    // The adapter of the nForce2 host at `base`; nullptr when none.
    const I2cAdapter* adapter_at(uint16_t base) const;
    // The client at the address on that adapter, with a driver bound; nullptr when none.
    const I2cClient* bound_client(int adapter, uint8_t address) const;
    // The owner of an I/O region that overlaps [first, last]; "" when none.
    std::string region_owner(uint16_t first, uint16_t last) const;
};

KernelOwners read_kernel_owners();

// The i2c client's name in sysfs: "0-0037".
std::string i2c_client_name(int adapter, uint8_t address);
