// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/pci.h"

#include <cstdio>
#include <map>

#include "diag/debuglog.h"
#include "hw/kernel_io.h"
#include "hw/port_io.h"

namespace {

struct PciState {
    bool sysfs = false;
    std::map<int, int> fds;  // (device << 3 | function) -> descriptor
};
PciState state;

int key(uint8_t device, uint8_t function) {
    return (device & 0x1F) << 3 | (function & 7);
}

std::string config_path(uint8_t device, uint8_t function) {
    char path[48];
    std::snprintf(path, sizeof path, "/sys/bus/pci/devices/0000:00:%02x.%x/config", device & 0x1F,
                  function & 7);
    return path;
}

int sysfs_fd(uint8_t bus, uint8_t device, uint8_t function) {
    if (bus != 0)
        return -1;
    auto it = state.fds.find(key(device, function));
    return it == state.fds.end() ? -1 : it->second;
}

// A short count is a failure too: a file opened without the right shows nothing past 64
// bytes, and its 0 must not pass for a register holding 0.
bool sysfs_access(bool write, uint8_t bus, uint8_t device, uint8_t function, uint8_t reg,
                  uint32_t& value, int width) {
    const int fd = sysfs_fd(bus, device, function);
    uint8_t bytes[4] = {};
    long moved = -1;
    if (fd >= 0 && write) {
        for (int i = 0; i < width; ++i)
            bytes[i] = static_cast<uint8_t>(value >> (8 * i));
        moved = kernel().pwrite(fd, bytes, static_cast<size_t>(width), reg);
    } else if (fd >= 0) {
        moved = kernel().pread(fd, bytes, static_cast<size_t>(width), reg);
    }
    if (moved != width) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "PCI: %s %02x:%02x.%x register 0x%02x failed (%ld of %d bytes)\n",
                      write ? "Writing" : "Reading", bus, device, function, reg,
                      moved < 0 ? 0L : moved, width);
        debug_print("%s", text);
        return false;
    }
    if (!write) {
        uint32_t read = 0;
        for (int i = 0; i < width; ++i)
            read |= uint32_t{bytes[i]} << (8 * i);
        value = width == 2 ? (value & 0xFFFF0000u) | read : read;
    }
    return true;
}

}  // namespace

// Byte and word accesses reach their byte lane of the dword through the data window's
// offset (register & 3).
int pci_config_read(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg, uint32_t& value,
                    int width) {
    if (state.sysfs) {
        if (width != 1 && width != 2 && width != 4)
            return 0;
        return sysfs_access(false, bus, device, function, reg, value, width) ? 1 : 0;
    }
    port_out32(pci_config_address(bus, device, function, reg), PCI_CONFIG_ADDRESS);
    const uint16_t data = static_cast<uint16_t>(PCI_CONFIG_DATA + (reg & 3));
    switch (width) {
        case 1:
            value = port_in8(data);
            return 1;
        case 2:
            value = (value & 0xFFFF0000u) | port_in16(data);
            return 1;
        case 4:
            value = port_in32(data);
            return 1;
        default:
            return 0;
    }
}

int pci_config_write(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg, uint32_t value,
                     int width) {
    if (state.sysfs) {
        if (width != 1 && width != 2 && width != 4)
            return 0;
        return sysfs_access(true, bus, device, function, reg, value, width) ? 1 : 0;
    }
    port_out32(pci_config_address(bus, device, function, reg), PCI_CONFIG_ADDRESS);
    const uint16_t data = static_cast<uint16_t>(PCI_CONFIG_DATA + (reg & 3));
    switch (width) {
        case 1:
            port_out8(static_cast<uint8_t>(value), data);
            break;
        case 2:
            port_out16(static_cast<uint16_t>(value), data);
            break;
        case 4:
            port_out32(value, data);
            break;
        default:
            return 0;
    }
    port_out32(0, PCI_CONFIG_ADDRESS);
    return 1;
}

std::string pci_use_sysfs(const std::vector<PciFunctionId>& functions) {
    pci_use_ports();
    state.sysfs = true;
    std::string failure;
    for (const PciFunctionId& f : functions) {
        const std::string path = config_path(f.device, f.function);
        int fd = kernel().open(path, true);
        if (fd < 0)
            fd = kernel().open(path, false);  // read-only: its writes will fail
        if (fd < 0) {
            if (failure.empty())
                failure = path + ": " + kernel_error_text(fd);
            continue;
        }
        state.fds[key(f.device, f.function)] = fd;
    }
    return failure;
}

bool pci_through_sysfs() {
    return state.sysfs;
}

void pci_use_ports() {
    for (const auto& [k, fd] : state.fds)
        kernel().close(fd);
    state.fds.clear();
    state.sysfs = false;
}
