// SPDX-License-Identifier: GPL-2.0-or-later
// Passes every kernel operation on to another kernel backend and appends it to the port trace,
// one line each, beside the port accesses: "open /dev/i2c-0 = 3", "i2c /dev/i2c-0 0x37 read
// 0x00 = 0x28", "pread /sys/bus/pci/devices/0000:00:00.0/config 0xa4 4 = 0x0010fb2f".
#pragma once

#include <cstdio>
#include <map>
#include <string>

#include "hw/kernel_io.h"

class TracingKernelBackend : public KernelBackend {
  public:
    // The stream belongs to the port trace and outlives this backend.
    TracingKernelBackend(KernelBackend& inner, std::FILE* trace) : inner_(inner), file_(trace) {}

    int open(const std::string& path, bool for_writing) override;
    void close(int fd) override;
    long pread(int fd, void* buffer, size_t size, uint32_t offset) override;
    long pwrite(int fd, const void* buffer, size_t size, uint32_t offset) override;
    int i2c_set_slave(int fd, uint8_t address) override;
    int i2c_byte_data(int fd, bool read, uint8_t command, uint8_t& value) override;
    std::string readlink(const std::string& path) override { return inner_.readlink(path); }
    std::vector<std::string> readdir(const std::string& path) override {
        return inner_.readdir(path);
    }

  private:
    void trace(const std::string& line);
    std::string name_of(int fd) const;

    KernelBackend& inner_;
    std::FILE* file_;
    std::map<int, std::string> paths_;
    std::map<int, int> slaves_;
};
