// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/kernel_owners.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "hw/kernel_io.h"

namespace {

constexpr const char* kSmbusFunction = "/sys/bus/pci/devices/0000:00:01.1";
constexpr const char* kI2cDevices = "/sys/bus/i2c/devices";
constexpr const char* kHwmonClass = "/sys/class/hwmon";
constexpr const char* kCpufreqDriver = "/sys/devices/system/cpu/cpu0/cpufreq/scaling_driver";
// fancontrol keeps its pid in /var/run, which Debian links to /run.
constexpr const char* kFancontrolPid = "/run/fancontrol.pid";
constexpr const char* kFancontrolConfig = "/etc/fancontrol";
constexpr const char* kAdapterNamePrefix = "SMBus nForce2 adapter at ";

bool parse_hex(const std::string& text, unsigned long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 16);
    return *end == '\0';
}

// "i2c-3" is an adapter, "0-0037" a client on adapter 0 at 0x37.
void read_i2c(KernelOwners& owners) {
    KernelBackend& k = kernel();
    const std::vector<std::string> devices = k.readdir("/dev");
    for (const std::string& entry : k.readdir(kI2cDevices)) {
        const std::string folder = std::string(kI2cDevices) + "/" + entry;
        std::string name;
        kernel_read_text(folder + "/name", name);
        int adapter = -1;
        unsigned address = 0;
        char end = 0;
        if (std::sscanf(entry.c_str(), "i2c-%d%c", &adapter, &end) == 1) {
            unsigned long base = 0;
            if (name.rfind(kAdapterNamePrefix, 0) != 0 ||
                !parse_hex(name.substr(std::string(kAdapterNamePrefix).size()), base))
                continue;
            I2cAdapter a;
            a.number = adapter;
            a.base = static_cast<uint16_t>(base);
            const std::string node = "i2c-" + std::to_string(adapter);
            for (const std::string& dev : devices)
                a.dev_node = a.dev_node || dev == node;
            owners.adapters.push_back(a);
        } else if (std::sscanf(entry.c_str(), "%d-%4x%c", &adapter, &address, &end) == 2 &&
                   address < 0x80) {
            I2cClient c;
            c.adapter = adapter;
            c.address = static_cast<uint8_t>(address);
            c.name = name;
            c.driver = kernel_link_name(folder + "/driver");
            owners.clients.push_back(c);
        }
    }
}

void read_hwmon(KernelOwners& owners) {
    for (const std::string& entry : kernel().readdir(kHwmonClass)) {
        int index = -1;
        char end = 0;
        if (std::sscanf(entry.c_str(), "hwmon%d%c", &index, &end) != 1)
            continue;
        HwmonDevice d;
        d.index = index;
        kernel_read_text(std::string(kHwmonClass) + "/" + entry + "/name", d.name);
        owners.hwmon.push_back(d);
    }
}

// Lines such as "  0290-0297 : w83627hf"; nested lines are indented further.
void read_ioports(KernelOwners& owners) {
    std::string text;
    if (!kernel_read_text("/proc/ioports", text))
        return;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned first = 0, last = 0;
        char owner[64] = {};
        if (std::sscanf(line.c_str(), " %x-%x : %63[^\n]", &first, &last, owner) != 3)
            continue;
        IoRegion r;
        r.first = static_cast<uint16_t>(first);
        r.last = static_cast<uint16_t>(last);
        r.owner = owner;
        while (!r.owner.empty() && (r.owner.back() == ' ' || r.owner.back() == '\r'))
            r.owner.pop_back();
        owners.regions.push_back(r);
    }
}

// fancontrol runs while its pid file names a live process; its configuration's FCTEMPS lists
// each output it drives before a "=".
void read_fancontrol(KernelOwners& owners) {
    std::string text;
    if (!kernel_read_text(kFancontrolPid, text))
        return;
    const int pid = std::atoi(text.c_str());
    if (pid <= 0 || kernel().readdir("/proc/" + std::to_string(pid)).empty())
        return;
    owners.fancontrol_pid = pid;
    if (!kernel_read_text(kFancontrolConfig, text))
        return;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("FCTEMPS=", 0) != 0)
            continue;
        std::istringstream pairs(line.substr(8));
        std::string pair;
        while (pairs >> pair)
            owners.fancontrol_outputs.push_back(pair.substr(0, pair.find('=')));
    }
}

}  // namespace

const I2cAdapter* KernelOwners::adapter_at(uint16_t base) const {
    for (const I2cAdapter& a : adapters)
        if (a.base == base)
            return &a;
    return nullptr;
}

const I2cClient* KernelOwners::bound_client(int adapter, uint8_t address) const {
    for (const I2cClient& c : clients)
        if (c.adapter == adapter && c.address == address && !c.driver.empty())
            return &c;
    return nullptr;
}

std::string KernelOwners::region_owner(uint16_t first, uint16_t last) const {
    for (const IoRegion& r : regions)
        if (r.first <= last && first <= r.last && r.first != 0)
            return r.owner;
    return {};
}

KernelOwners read_kernel_owners() {
    KernelOwners owners;
    owners.smbus_driver = kernel_link_name(std::string(kSmbusFunction) + "/driver");
    read_i2c(owners);
    read_hwmon(owners);
    read_ioports(owners);
    kernel_read_text(kCpufreqDriver, owners.cpufreq_driver);
    read_fancontrol(owners);
    return owners;
}

std::string i2c_client_name(int adapter, uint8_t address) {
    char name[16];
    std::snprintf(name, sizeof name, "%d-%04x", adapter, address);
    return name;
}
