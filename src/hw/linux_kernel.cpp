// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/linux_kernel.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

int LinuxKernel::open(const std::string& path, bool for_writing) {
    // O_NONBLOCK: a device node must not hang the start; sysfs and i2c-dev never block on it.
    const int fd = ::open((root_ + path).c_str(),
                          (for_writing ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    return fd >= 0 ? fd : -errno;
}

void LinuxKernel::close(int fd) {
    if (fd >= 0)
        ::close(fd);
}

long LinuxKernel::pread(int fd, void* buffer, size_t size, uint32_t offset) {
    const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    return got >= 0 ? static_cast<long>(got) : -errno;
}

long LinuxKernel::pwrite(int fd, const void* buffer, size_t size, uint32_t offset) {
    const ssize_t put = ::pwrite(fd, buffer, size, static_cast<off_t>(offset));
    return put >= 0 ? static_cast<long>(put) : -errno;
}

int LinuxKernel::i2c_set_slave(int fd, uint8_t address) {
    return ::ioctl(fd, I2C_SLAVE, static_cast<unsigned long>(address)) == 0 ? 0 : -errno;
}

// The SMBus transfer of i2c-dev: the kernel's adapter driver runs the whole transaction and
// answers with its outcome.
int LinuxKernel::i2c_byte_data(int fd, bool read, uint8_t command, uint8_t& value) {
    union i2c_smbus_data data {};
    data.byte = value;
    struct i2c_smbus_ioctl_data args {};
    args.read_write = read ? I2C_SMBUS_READ : I2C_SMBUS_WRITE;
    args.command = command;
    args.size = I2C_SMBUS_BYTE_DATA;
    args.data = &data;
    if (::ioctl(fd, I2C_SMBUS, &args) != 0)
        return -errno;
    if (read)
        value = data.byte;
    return 0;
}

std::string LinuxKernel::readlink(const std::string& path) {
    char target[4096];
    const ssize_t n = ::readlink((root_ + path).c_str(), target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof target)
        return {};
    return std::string(target, static_cast<size_t>(n));
}

std::vector<std::string> LinuxKernel::readdir(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir((root_ + path).c_str());
    if (!dir)
        return names;
    while (const struct dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}
