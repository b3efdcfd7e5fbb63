// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/sim_kernel.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "sim/sim_machine.h"

namespace {

namespace fs = std::filesystem;

constexpr uint16_t kConfigAddressPort = 0xCF8;
constexpr uint16_t kConfigDataPort = 0xCFC;
constexpr uint32_t kConfigSpaceSize = 256;
// What pci-sysfs shows an opener without CAP_SYS_ADMIN: the standard header only.
constexpr uint32_t kUnprivilegedConfigSize = 64;
constexpr int kCapDacOverride = 1;
constexpr int kCapSysAdmin = 21;

// The nForce2 SMBus host: registers from its base, as the kernel's adapter driver uses them.
constexpr uint16_t kHostProtocol = 0, kHostStatus = 1, kHostAddress = 2, kHostCommand = 3,
                   kHostData = 4;
constexpr uint8_t kProtocolReadByteData = 0x07, kProtocolWriteByteData = 0x06;
constexpr uint8_t kStatusDone = 0x80, kStatusCode = 0x1F;
constexpr uint16_t kHostRegionSize = 0x40;  // what the adapter driver requests of each host
constexpr uint16_t kMonitorRegion = 0x290;  // the ISA monitor's eight ports, 0x295/0x296 used
constexpr const char* kAdapterNamePrefix = "SMBus nForce2 adapter at ";

bool has_capability(const ProcessPrivileges& p, int cap) {
    return p.effective_root || ((p.effective_caps >> cap) & 1) != 0;
}

// "/dev/i2c-3" -> 3; -1 for anything else.
int i2c_dev_number(const std::string& path) {
    const std::string prefix = "/dev/i2c-";
    if (path.rfind(prefix, 0) != 0 || path.size() == prefix.size())
        return -1;
    char* end = nullptr;
    const long n = std::strtol(path.c_str() + prefix.size(), &end, 10);
    return *end == '\0' && n >= 0 && n < 256 ? static_cast<int>(n) : -1;
}

// "/sys/bus/pci/devices/0000:00:01.1/config" -> the configuration address of its register 0;
// 0 for anything else.
uint32_t config_file_address(const std::string& path) {
    unsigned domain = 0, bus = 0, device = 0, function = 0;
    char tail[16] = {};
    if (std::sscanf(path.c_str(), "/sys/bus/pci/devices/%4x:%2x:%2x.%1x/%15s", &domain, &bus,
                    &device, &function, tail) != 5 ||
        std::strcmp(tail, "config") != 0 || domain != 0 || device > 31 || function > 7)
        return 0;
    return 0x80000000u | bus << 16 | device << 11 | function << 8;
}

// The widest naturally aligned cycle at `at` that the bytes left fill.
int cycle_width(uint32_t at, size_t left) {
    if ((at & 3) == 0 && left >= 4)
        return 4;
    return (at & 1) == 0 && left >= 2 ? 2 : 1;
}

}  // namespace

SimKernel::SimKernel(SimMachine& machine, std::string root)
    : machine_(machine), root_(std::move(root)) {
    claim_driver_ports();
}

bool SimKernel::tree_has(const std::string& path) const {
    std::error_code ec;
    return fs::exists(fs::symlink_status(root_ + path, ec));
}

bool SimKernel::tree_text(const std::string& path, std::string& text) const {
    std::error_code ec;
    if (!fs::is_regular_file(root_ + path, ec))
        return false;
    std::ifstream in(root_ + path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return static_cast<bool>(in) || in.eof();
}

// The configuration ports are the kernel's on every Linux; the SMBus hosts are the adapter
// driver's when it is bound to the SMBus function, the monitor's ports its driver's when a
// hwmon driver for an ISA monitor is bound.
void SimKernel::claim_driver_ports() {
    machine_.claim_ports(kConfigAddressPort, kConfigDataPort + 3, "the kernel's PCI access");
    const std::string smbus_driver = readlink("/sys/bus/pci/devices/0000:00:01.1/driver");
    if (!smbus_driver.empty())
        for (uint16_t base : {uint16_t{0x5000}, uint16_t{0x5100}})
            machine_.claim_ports(base, base + kHostRegionSize - 1, "i2c_nforce2");
    for (const char* driver : {"w83627hf", "w83781d", "it87"})
        if (tree_has(std::string("/sys/bus/platform/drivers/") + driver) ||
            tree_has(std::string("/sys/bus/isa/drivers/") + driver))
            machine_.claim_ports(kMonitorRegion, kMonitorRegion + 7, driver);
}

int SimKernel::open(const std::string& path, bool for_writing) {
    if (const int adapter = i2c_dev_number(path); adapter >= 0)
        return open_i2c(path, adapter);
    if (config_file_address(path) != 0)
        return open_config(path);
    if (path.rfind("/sys/class/hwmon/hwmon", 0) == 0 &&
        path.find('/', std::strlen("/sys/class/hwmon/hwmon")) != std::string::npos &&
        path.substr(path.rfind('/') + 1) != "name")
        return open_hwmon(path);
    OpenFile file;
    if (!tree_text(path, file.text))
        return tree_has(path) ? -EACCES : -ENOENT;
    if (for_writing)
        return -EACCES;
    const int fd = next_fd_++;
    files_[fd] = std::move(file);
    return fd;
}

// The node exists while i2c-dev is loaded (the folder holds it); the adapter's name says
// which host it drives.
int SimKernel::open_i2c(const std::string& path, int adapter) {
    if (!tree_has(path))
        return -ENOENT;
    std::string name;
    if (!tree_text("/sys/bus/i2c/devices/i2c-" + std::to_string(adapter) + "/name", name))
        return -ENODEV;
    if (name.rfind(kAdapterNamePrefix, 0) != 0)
        return -ENODEV;  // some other adapter: not one of the simulated hosts
    const unsigned long base =
        std::strtoul(name.c_str() + std::strlen(kAdapterNamePrefix), nullptr, 16);
    if (base != 0x5000 && base != 0x5100)
        return -ENODEV;
    // The node's own mode says who may use it, as udev left it (root, or a group).
    if (!std::fstream(root_ + path, std::ios::in | std::ios::out | std::ios::binary))
        return -EACCES;
    OpenFile file;
    file.kind = OpenFile::Kind::I2c;
    file.adapter = adapter;
    file.host_base = static_cast<uint16_t>(base);
    const int fd = next_fd_++;
    files_[fd] = file;
    return fd;
}

int SimKernel::open_config(const std::string& path) {
    const uint32_t address = config_file_address(path);
    // A function that does not answer has no folder in sysfs.
    machine_.kernel_out(kConfigAddressPort, 4, address);
    if (machine_.kernel_in(kConfigDataPort, 4) == 0xFFFFFFFFu)
        return -ENOENT;
    const ProcessPrivileges who = opener();
    OpenFile file;
    file.kind = OpenFile::Kind::PciConfig;
    file.pci_address = address;
    file.writable = has_capability(who, kCapDacOverride);
    file.visible = has_capability(who, kCapSysAdmin) ? kConfigSpaceSize : kUnprivilegedConfigSize;
    const int fd = next_fd_++;
    files_[fd] = file;
    return fd;
}

ProcessPrivileges SimKernel::opener() const {
    if (!open_as_root_)
        return current_platform().process_privileges();
    ProcessPrivileges root;
    root.real_root = root.effective_root = true;
    return root;
}

void SimKernel::close(int fd) {
    files_.erase(fd);
}

long SimKernel::pread(int fd, void* buffer, size_t size, uint32_t offset) {
    auto it = files_.find(fd);
    if (it == files_.end())
        return -EBADF;
    OpenFile& file = it->second;
    switch (file.kind) {
        case OpenFile::Kind::PciConfig:
            return config_read(file, buffer, size, offset);
        case OpenFile::Kind::I2c:
            return -EINVAL;
        case OpenFile::Kind::Hwmon: {
            // sysfs hands out the whole text at offset 0, as one read of the attribute.
            long value = 0;
            if (!hwmon_show(file, value))
                return -EIO;
            file.text = std::to_string(value) + "\n";
            break;
        }
        case OpenFile::Kind::Text:
            break;
    }
    if (offset >= file.text.size())
        return 0;
    const size_t n = std::min(size, file.text.size() - offset);
    std::memcpy(buffer, file.text.data() + offset, n);
    return static_cast<long>(n);
}

long SimKernel::pwrite(int fd, const void* buffer, size_t size, uint32_t offset) {
    auto it = files_.find(fd);
    if (it == files_.end())
        return -EBADF;
    if (it->second.kind == OpenFile::Kind::Hwmon) {
        if (!it->second.writable)
            return -EBADF;
        const std::string text(static_cast<const char*>(buffer), size);
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (offset != 0 || end == text.c_str() || (*end != '\0' && *end != '\n'))
            return -EINVAL;
        return hwmon_store(it->second, value) ? static_cast<long>(size) : -EINVAL;
    }
    if (it->second.kind != OpenFile::Kind::PciConfig)
        return -EACCES;
    return config_write(it->second, buffer, size, offset);
}

// pci-sysfs answers an aligned access of 1, 2 or 4 bytes with one configuration cycle of that
// width, and a read past what the opener may see with fewer bytes (0 at or after the end).
long SimKernel::config_read(OpenFile& file, void* buffer, size_t size, uint32_t offset) {
    if (offset >= file.visible)
        return 0;
    size = std::min<size_t>(size, file.visible - offset);
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const uint32_t at = offset + static_cast<uint32_t>(done);
        const int width = cycle_width(at, size - done);
        machine_.kernel_out(kConfigAddressPort, 4, file.pci_address | (at & 0xFC));
        const uint32_t value =
            machine_.kernel_in(static_cast<uint16_t>(kConfigDataPort + (at & 3)), width);
        for (int i = 0; i < width; ++i)
            out[done + i] = static_cast<uint8_t>(value >> (8 * i));
        done += width;
    }
    return static_cast<long>(done);
}

long SimKernel::config_write(OpenFile& file, const void* buffer, size_t size, uint32_t offset) {
    if (!file.writable)
        return -EBADF;  // opened for reading only
    if (offset >= kConfigSpaceSize)
        return 0;
    size = std::min<size_t>(size, kConfigSpaceSize - offset);
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const uint32_t at = offset + static_cast<uint32_t>(done);
        const int width = cycle_width(at, size - done);
        uint32_t value = 0;
        for (int i = 0; i < width; ++i)
            value |= uint32_t{in[done + i]} << (8 * i);
        machine_.kernel_out(kConfigAddressPort, 4, file.pci_address | (at & 0xFC));
        machine_.kernel_out(static_cast<uint16_t>(kConfigDataPort + (at & 3)), width, value);
        done += width;
    }
    return static_cast<long>(done);
}

// An address a driver has bound (a client folder with a driver link) is busy for I2C_SLAVE.
int SimKernel::i2c_set_slave(int fd, uint8_t address) {
    auto it = files_.find(fd);
    if (it == files_.end() || it->second.kind != OpenFile::Kind::I2c)
        return -EBADF;
    if (address > 0x7F)
        return -EINVAL;
    char client[48];
    std::snprintf(client, sizeof client, "/sys/bus/i2c/devices/%d-%04x/driver", it->second.adapter,
                  address);
    if (tree_has(client))
        return -EBUSY;
    it->second.slave = address;
    return 0;
}

// One transfer as the adapter driver runs it: command, data for a write, address, protocol;
// then it waits for the done bit and takes the outcome code, and for a read the data.
int SimKernel::i2c_byte_data(int fd, bool read, uint8_t command, uint8_t& value) {
    auto it = files_.find(fd);
    if (it == files_.end() || it->second.kind != OpenFile::Kind::I2c)
        return -EBADF;
    const OpenFile& file = it->second;
    if (file.slave == 0)
        return -EINVAL;
    return smbus_transfer(file.host_base, file.slave, read, command, value);
}

int SimKernel::smbus_transfer(uint16_t base, uint8_t slave, bool read, uint8_t command,
                              uint8_t& value) {
    machine_.kernel_out(base + kHostCommand, 1, command);
    if (!read)
        machine_.kernel_out(base + kHostData, 1, value);
    machine_.kernel_out(base + kHostAddress, 1, static_cast<uint32_t>(slave << 1));
    machine_.kernel_out(base + kHostProtocol, 1,
                        read ? kProtocolReadByteData : kProtocolWriteByteData);
    const uint32_t status = machine_.kernel_in(base + kHostStatus, 1);
    if (!(status & kStatusDone))
        return -ETIMEDOUT;
    if (status & kStatusCode)
        return -EIO;
    if (read)
        value = static_cast<uint8_t>(machine_.kernel_in(base + kHostData, 1));
    return 0;
}

std::string SimKernel::readlink(const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(root_ + path, ec);
    return ec ? std::string() : target.generic_string();
}

std::vector<std::string> SimKernel::readdir(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root_ + path, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}
