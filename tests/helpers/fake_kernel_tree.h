// SPDX-License-Identifier: GPL-2.0-or-later
// A made-up root of the file tree as a Debian kernel shows an nForce2 board with its drivers
// bound: links, names, procfs tables and /dev nodes in a folder, for the simulated kernel and
// for the end-to-end runs (VELMORA_TEST_KERNEL_ROOT).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

class SimMachine;

struct FakeKernelTree {
    explicit FakeKernelTree(std::filesystem::path folder);

    // i2c_nforce2 bound to 00:01.1 with one adapter per host ("SMBus nForce2 adapter at
    // 5000" as i2c-0 and i2c-1), and their /dev nodes when i2c-dev is loaded.
    void bind_smbus(bool i2c_dev = true, uint16_t base0 = 0x5000, uint16_t base1 = 0x5100);
    // A client folder "0-004c"; with a driver link when `driver` is not empty.
    void i2c_client(int adapter, uint8_t address, const std::string& name,
                    const std::string& driver);
    // hwmonN with its name; an ISA monitor's driver also registered on the platform bus, and
    // its ports in procfs ioports.
    void hwmon(int index, const std::string& name, const std::string& isa_driver = "");
    // hwmonN of an i2c client ("lm90" on 0-004c): its name and its device link.
    void client_hwmon(int index, int adapter, uint8_t address, const std::string& name);
    void cpufreq(const std::string& driver);
    // What Debian binds on this simulated board: i2c_nforce2 with i2c-dev, the monitor's
    // driver as the chip id at 0x58 picks it, and lm90 where an LM90 answers its maker's id.
    void bind_drivers_of(SimMachine& machine);
    // fancontrol running (a live pid) with the FCTEMPS line of its configuration.
    void fancontrol(int pid, const std::string& fctemps);

    std::filesystem::path root;
    std::string ioports = "0cf8-0cff : PCI conf1\n";

  private:
    void write(const std::string& path, const std::string& text);
    void link(const std::string& path, const std::string& target);
};
