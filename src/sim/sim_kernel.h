// SPDX-License-Identifier: GPL-2.0-or-later
// The Linux kernel of the simulated board, for trying velmora beside the kernel's drivers
// without the hardware. A folder stands for the root of the file tree and tells who owns
// what, as a real kernel shows it: the drivers' links in /sys, the adapters' names, procfs
// tables, /dev nodes, fancontrol's pid file. What the drivers do with the chips runs on the
// simulated board:
//   /dev/i2c-N         i2c-dev on the adapter of that number: the SMBus transactions of the
//                      nForce2 adapter driver on the simulated host its name gives ("SMBus
//                      nForce2 adapter at 5000"); an address with a bound client is busy.
//   .../<bdf>/config   PCI configuration cycles of the function; opened without CAP_SYS_ADMIN
//                      it shows the first 64 bytes only, as the kernel's pci-sysfs does.
// Ports of a bound driver are claimed on the machine, so that the program's own access to
// them is recorded as a fault, and the configuration ports always are: on Linux the kernel
// serialises its own configuration cycles with a lock user space cannot take.
#pragma once

#include <map>
#include <string>

#include "hw/kernel_io.h"
#include "platform/platform.h"

class SimMachine;

class SimKernel : public KernelBackend {
  public:
    SimKernel(SimMachine& machine, std::string root);

    int open(const std::string& path, bool for_writing) override;
    void close(int fd) override;
    long pread(int fd, void* buffer, size_t size, uint32_t offset) override;
    long pwrite(int fd, const void* buffer, size_t size, uint32_t offset) override;
    int i2c_set_slave(int fd, uint8_t address) override;
    int i2c_byte_data(int fd, bool read, uint8_t command, uint8_t& value) override;
    std::string readlink(const std::string& path) override;
    std::vector<std::string> readdir(const std::string& path) override;

    // Opens as root would, whatever the process holds: for tests that are not about
    // privileges.
    void open_as_root(bool on) { open_as_root_ = on; }

  private:
    ProcessPrivileges opener() const;
    struct OpenFile {
        enum class Kind { Text, I2c, PciConfig, Hwmon } kind = Kind::Text;
        std::string text;          // a file of the tree, as it was at the open
        int adapter = -1;          // i2c-dev: the adapter's number
        uint16_t host_base = 0;    // and its SMBus host
        uint8_t slave = 0;         // the address set with i2c_set_slave; 0: none yet
        uint32_t pci_address = 0;  // configuration address of register 0 of the function
        uint32_t visible = 0;      // bytes of configuration space this opener may read
        bool writable = false;
        std::string chip;        // hwmon: the driver's name of the chip ("w83627hf")
        std::string attribute;   // hwmon: "temp1_input", "pwm1", ...
        uint16_t lm90_host = 0;  // hwmon of the LM90: the base of its SMBus host
    };

    bool tree_has(const std::string& path) const;
    bool tree_text(const std::string& path, std::string& text) const;
    void claim_driver_ports();
    int open_i2c(const std::string& path, int adapter);
    int open_config(const std::string& path);
    long config_read(OpenFile& file, void* buffer, size_t size, uint32_t offset);
    long config_write(OpenFile& file, const void* buffer, size_t size, uint32_t offset);
    // The hwmon attributes of the drivers of the simulated monitors (sim_kernel_hwmon.cpp).
    int open_hwmon(const std::string& path);
    bool hwmon_has(const std::string& chip, const std::string& attribute);
    bool hwmon_show(const OpenFile& file, long& value);
    bool hwmon_store(const OpenFile& file, long value);
    static constexpr int kNoBank = -1;
    uint8_t isa_read(int bank, uint8_t reg);
    void isa_write(int bank, uint8_t reg, uint8_t value);
    bool winbond_show(const OpenFile& file, long& value);
    bool winbond_store(const OpenFile& file, long value);
    bool it87_has(const std::string& attribute);
    bool it87_show(const OpenFile& file, long& value);
    bool it87_store(const OpenFile& file, long value);
    uint8_t it87_temp_map(int nr);
    // The LM90 at 0x4C on the adapter the hwmon device's "device" link names.
    uint16_t lm90_host(const std::string& hwmon_folder);
    bool lm90_show(const OpenFile& file, long& value);
    bool lm90_store(const OpenFile& file, long value);
    // One SMBus transfer on a host as the adapter driver runs it: 0 or -errno.
    int smbus_transfer(uint16_t base, uint8_t slave, bool read, uint8_t command, uint8_t& value);

    SimMachine& machine_;
    std::string root_;
    std::map<int, OpenFile> files_;
    int next_fd_ = 3;
    bool open_as_root_ = false;
    uint8_t it87_temp_map_[3] = {};
};
