// SPDX-License-Identifier: GPL-2.0-or-later
// What the Linux kernel offers where its drivers own the board's chips: sysfs attribute and
// configuration files, the SMBus of i2c-dev, the links and folders that tell who owns what.
// Every hardware access that goes through the kernel ends in one of these calls, made through
// the one installed KernelBackend: the real kernel, or the simulated board's.
//
// Paths are absolute as the kernel names them ("/sys/bus/pci/devices/0000:00:01.1/config");
// a backend may put them under a root folder of its own. Failures are negative errno values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class KernelBackend {
  public:
    virtual ~KernelBackend() = default;
    // A descriptor (>= 0) or -errno. Files are never created.
    virtual int open(const std::string& path, bool for_writing) = 0;
    virtual void close(int fd) = 0;
    // Bytes moved, or -errno. A short count (0 included) is no error to the kernel.
    virtual long pread(int fd, void* buffer, size_t size, uint32_t offset) = 0;
    virtual long pwrite(int fd, const void* buffer, size_t size, uint32_t offset) = 0;
    // i2c-dev: the slave address of later transfers on the descriptor (I2C_SLAVE; -EBUSY when
    // a kernel driver has bound that address), and one read-byte-data or write-byte-data
    // transfer (I2C_SMBUS). 0 or -errno.
    virtual int i2c_set_slave(int fd, uint8_t address) = 0;
    virtual int i2c_byte_data(int fd, bool read, uint8_t command, uint8_t& value) = 0;
    // The target of a link, "" when the path is no link.
    virtual std::string readlink(const std::string& path) = 0;
    // The names in a folder, without "." and ".."; empty when it cannot be read.
    virtual std::vector<std::string> readdir(const std::string& path) = 0;
};

// A machine without any of it: every open fails with ENOENT. In force until another backend
// is installed, so nothing reaches a real kernel interface by accident.
class NoKernel : public KernelBackend {
  public:
    int open(const std::string&, bool) override;
    void close(int) override {}
    long pread(int, void*, size_t, uint32_t) override;
    long pwrite(int, const void*, size_t, uint32_t) override;
    int i2c_set_slave(int, uint8_t) override;
    int i2c_byte_data(int, bool, uint8_t, uint8_t&) override;
    std::string readlink(const std::string&) override { return {}; }
    std::vector<std::string> readdir(const std::string&) override { return {}; }
};

KernelBackend& kernel();
void install_kernel(KernelBackend* backend);  // nullptr restores NoKernel
// Whether a kernel backend is installed: a real board on Linux, or the simulated board with a
// made-up kernel tree.
bool kernel_installed();

// A small text file (sysfs attribute, procfs table, pid file) whole, without its last line
// end; false when it cannot be opened or read.
bool kernel_read_text(const std::string& path, std::string& text);
// The last part of a link's target: the driver's name for ".../drivers/nForce2_smbus"; ""
// when the path is no link.
std::string kernel_link_name(const std::string& path);
// The text of an errno as strerror gives it ("Device or resource busy").
std::string kernel_error_text(int error);
