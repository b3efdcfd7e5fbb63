// SPDX-License-Identifier: GPL-2.0-or-later
// The running Linux kernel behind the kernel seam: open, pread, pwrite, the i2c-dev ioctls,
// readlink and readdir as system calls. A root folder other than "/" stands for the whole
// file tree (tests give a folder that holds a made-up /sys, /proc, /dev, /etc and /run).
#pragma once

#include "hw/kernel_io.h"

class LinuxKernel : public KernelBackend {
  public:
    explicit LinuxKernel(std::string root = "") : root_(std::move(root)) {}

    int open(const std::string& path, bool for_writing) override;
    void close(int fd) override;
    long pread(int fd, void* buffer, size_t size, uint32_t offset) override;
    long pwrite(int fd, const void* buffer, size_t size, uint32_t offset) override;
    int i2c_set_slave(int fd, uint8_t address) override;
    int i2c_byte_data(int fd, bool read, uint8_t command, uint8_t& value) override;
    std::string readlink(const std::string& path) override;
    std::vector<std::string> readdir(const std::string& path) override;

    const std::string& root() const { return root_; }

  private:
    std::string root_;
};
