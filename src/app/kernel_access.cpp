// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/kernel_access.h"

#include <cstdio>

#include "board/fsb.h"
#include "diag/debuglog.h"
#include "hw/kernel_io.h"
#include "hw/smbus.h"
#include "sensors/ite.h"
#include "sensors/lm90.h"
#include "sensors/sensor.h"
#include "sensors/winbond.h"

namespace {

// The MCP's SMBus controller, PCI function 00:01.1: its I/O base registers of host 0 and 1.
constexpr uint8_t NFORCE2_SMBUS_DEVICE = 0x01;
constexpr uint8_t NFORCE2_SMBUS_FUNCTION = 1;
constexpr uint8_t NFORCE2_SMBUS_REG_BASE0 = 0x50;
constexpr uint8_t NFORCE2_SMBUS_REG_BASE1 = 0x54;
constexpr uint32_t kIoBaseMask = 0xFFFC;  // bit 0 marks I/O space, bit 1 is reserved

// The ISA hardware monitor's address/data pair, and the kernel drivers that may own it.
constexpr uint16_t kMonitorFirstPort = 0x295, kMonitorLastPort = 0x296;
constexpr const char* kMonitorNamePrefixes[] = {"w836", "w8378", "it87"};
// The SMBus chips velmora drives: the VID chips and the LM90.
constexpr uint8_t kVidChipAddresses[] = {0x1B, 0x37, 0x4E};
constexpr uint8_t kLm90Address = 0x4C;
constexpr const char* kCpufreqNforce2 = "nforce2";

uint16_t io_base(uint32_t reg) {
    return reg == 0xFFFFFFFFu ? 0 : static_cast<uint16_t>(reg & kIoBaseMask);
}

// One SMBus host: its kernel adapter through i2c-dev, or its ports.
void route_host(KernelAccess& access, uint8_t host, uint16_t base, bool ignore_drivers) {
    const std::string& driver = access.owners.smbus_driver;
    if (smbus_i2c_dev(host) >= 0)
        kernel().close(smbus_i2c_dev(host));
    smbus_use_i2c_dev(host, -1);
    if (base == 0) {
        debug_print("VELMORA: SMBus host %d: no I/O base, not used\n", host);
        smbus_set_host_base(host, 0);
        return;
    }
    if (driver.empty() || ignore_drivers) {
        smbus_set_host_base(host, base);
        if (driver.empty())
            debug_print("VELMORA: SMBus host %d at 0x%x: no driver bound, through its ports\n",
                        host, base);
        else
            debug_print(
                "VELMORA: SMBus host %d at 0x%x: driver %s ignored on request, "
                "through its ports\n",
                host, base, driver);
        return;
    }
    smbus_set_host_base(host, 0);  // never its ports while the driver owns it
    const I2cAdapter* adapter = access.owners.adapter_at(base);
    if (!adapter || !adapter->dev_node) {
        debug_print(
            "VELMORA: SMBus host %d at 0x%x: driver %s, no /dev/i2c node (i2c-dev "
            "not loaded): not used\n",
            host, base, driver);
        if (access.messages.empty() || access.messages.back().find("i2c-dev") == std::string::npos)
            access.messages.push_back(
                "The kernel's SMBus driver (" + driver +
                ") owns the board's SMBus, and i2c-dev, through which velmora reaches it, is "
                "not loaded.\nLoad it with:\n  sudo modprobe i2c-dev\nUntil then velmora can "
                "neither read nor set the voltages.");
        return;
    }
    const std::string node = "/dev/i2c-" + std::to_string(adapter->number);
    const int fd = kernel().open(node, true);
    if (fd < 0) {
        debug_print("VELMORA: SMBus host %d at 0x%x: driver %s, %s: %s: not used\n", host, base,
                    driver, node, kernel_error_text(fd));
        access.messages.push_back(node + " cannot be opened (" + kernel_error_text(fd) +
                                  "): velmora can neither read nor set the voltages.\n"
                                  "Give velmora's user access to it (the i2c group), or start "
                                  "velmora as root.");
        return;
    }
    smbus_use_i2c_dev(host, fd);
    access.adapter_of_host[host] = adapter->number;
    debug_print("VELMORA: SMBus host %d at 0x%x: driver %s, through %s\n", host, base, driver,
                node);
}

// The voltage chips' addresses on the hosts that a kernel driver has bound: one line each.
void log_bound_clients(const KernelAccess& access) {
    for (int host = 0; host < 2; ++host) {
        const int adapter = access.adapter_of_host[host];
        if (adapter < 0)
            continue;
        // The LM90's own line follows with the monitors.
        for (uint8_t address : kVidChipAddresses)
            if (const I2cClient* c = access.owners.bound_client(adapter, address))
                debug_print("VELMORA: SMBus %s (%s): driver %s, no writes\n",
                            i2c_client_name(adapter, address), c->name, c->driver);
    }
}

// The first hwmon device whose chip velmora reads through the kernel's attributes; it is
// taken. nullptr when there is none.
const HwmonDevice* monitor_through_hwmon(const KernelOwners& owners, uint8_t& type) {
    for (const HwmonDevice& d : owners.hwmon) {
        if (winbond_use_hwmon(d.index, d.name)) {
            type = SENSOR_WINBOND;
            return &d;
        }
        if (ite_use_hwmon(d.index, d.name)) {
            type = SENSOR_ITE;
            return &d;
        }
    }
    return nullptr;
}

// fancontrol's outputs on the monitor's hwmon device ("hwmon1/pwm2", or "hwmon1/device/pwm2"
// in older configurations) are its own: velmora writes nothing to them.
void hold_fancontrol_outputs(KernelAccess& access, const HwmonDevice& device, uint8_t type) {
    const std::string prefix = "hwmon" + std::to_string(device.index) + "/";
    std::string held;
    for (const std::string& output : access.owners.fancontrol_outputs) {
        if (output.rfind(prefix, 0) != 0)
            continue;
        const std::string file = output.substr(output.rfind('/') + 1);
        if (type == SENSOR_WINBOND)
            winbond_hold_pwm(file, "fancontrol");
        else
            ite_hold_pwm(file, "fancontrol");
        held += (held.empty() ? "" : ", ") + output;
    }
    if (held.empty())
        return;
    access.messages.push_back(
        "fancontrol (pid " + std::to_string(access.owners.fancontrol_pid) + ") drives " + held +
        ": velmora leaves those fans to it, and AutoFAN takes none of them.\nTo let velmora "
        "drive them, stop it first:\n  sudo systemctl stop fancontrol");
}

bool route_monitors(KernelAccess& access, bool ignore_drivers) {
    // procfs ioports names the driver holding the ports; the hwmon devices' names ("w83627hf",
    // "w83782d", "it8712") tell it too where the addresses read as zero.
    uint8_t type = SENSOR_NONE;
    std::string owner = access.owners.region_owner(kMonitorFirstPort, kMonitorLastPort);
    for (const HwmonDevice& d : access.owners.hwmon)
        for (const char* prefix : kMonitorNamePrefixes)
            if (owner.empty() && d.name.rfind(prefix, 0) == 0)
                owner = d.name;
    bool through_ports = owner.empty() || ignore_drivers;
    if (owner.empty()) {
        debug_print("VELMORA: Hardware monitor at 0x%x: no driver, through its ports\n",
                    kMonitorFirstPort);
    } else if (ignore_drivers) {
        debug_print(
            "VELMORA: Hardware monitor at 0x%x: driver %s ignored on request, through "
            "its ports\n",
            kMonitorFirstPort, owner);
    } else if (const HwmonDevice* device = monitor_through_hwmon(access.owners, type)) {
        debug_print(
            "VELMORA: Hardware monitor at 0x%x: driver %s, through "
            "/sys/class/hwmon/hwmon%d\n",
            kMonitorFirstPort, owner, device->index);
        // The other detector would probe the ports the driver holds.
        sensors_leave_to_kernel(type == SENSOR_WINBOND ? SENSOR_ITE : SENSOR_WINBOND);
        if (access.owners.fancontrol_pid != 0)
            hold_fancontrol_outputs(access, *device, type);
    } else {
        debug_print("VELMORA: Hardware monitor at 0x%x: driver %s, left to it\n", kMonitorFirstPort,
                    owner);
        sensors_leave_to_kernel(SENSOR_WINBOND);
        sensors_leave_to_kernel(SENSOR_ITE);
    }
    for (int host = 0; host < 2; ++host) {
        const int adapter = access.adapter_of_host[host];
        const I2cClient* lm90 =
            adapter >= 0 ? access.owners.bound_client(adapter, kLm90Address) : nullptr;
        if (!lm90 || ignore_drivers)
            continue;
        const HwmonDevice* device = nullptr;
        for (const HwmonDevice& d : access.owners.hwmon)
            if (!device && lm90_use_hwmon(d.index, d.name))
                device = &d;
        if (device) {
            debug_print("VELMORA: LM90 at SMBus %s: driver %s, through /sys/class/hwmon/hwmon%d\n",
                        i2c_client_name(adapter, kLm90Address), lm90->driver, device->index);
        } else {
            debug_print("VELMORA: LM90 at SMBus %s: driver %s, left to it\n",
                        i2c_client_name(adapter, kLm90Address), lm90->driver);
            sensors_leave_to_kernel(SENSOR_LM90);
        }
    }
    return through_ports;
}

void route_fsb(KernelAccess& access) {
    fsb_held_by("");
    if (access.owners.cpufreq_driver != kCpufreqNforce2) {
        debug_print("VELMORA: FSB: no cpufreq driver on it, through the PLL registers\n");
        return;
    }
    debug_print("VELMORA: FSB: cpufreq driver nforce2 drives the clock, FSB changes refused\n");
    fsb_held_by(access.owners.cpufreq_driver);
    access.fsb_refusal =
        "The kernel's cpufreq driver nforce2 drives the FSB: velmora changes no FSB while it "
        "does.\nUnload it with:\n  sudo modprobe -r cpufreq_nforce2\nVoltages and readings "
        "stay available.";
    access.messages.push_back(access.fsb_refusal);
}

void log_fans(const KernelAccess& access) {
    if (access.owners.fancontrol_pid == 0)
        return;
    std::string outputs;
    for (const std::string& o : access.owners.fancontrol_outputs)
        outputs += (outputs.empty() ? "" : " ") + o;
    debug_print("VELMORA: Fans: fancontrol (pid %d) drives %s, left to it\n",
                access.owners.fancontrol_pid, outputs.empty() ? "no output" : outputs);
}

}  // namespace

namespace {

// Ports without a kernel interface, and the chips' ports when velmora reaches them itself.
constexpr PortRange kCmosPorts{0x70, 2};
constexpr PortRange kPort80{0x80, 1};
constexpr PortRange kSmiCommandPorts{0x442E, 2};
constexpr PortRange kSmiMailbox{0x4480, 32};  // 0x4480-0x449c and the query port 0x449f
constexpr PortRange kMonitorPorts{kMonitorFirstPort, 2};
constexpr PortRange kPciConfigPorts{0xCF8, 8};
constexpr uint16_t kSmbusHostPorts = 5;  // protocol, status, address, command, data

std::vector<PortRange> kernelless_ports() {
    return {kCmosPorts, kPort80, kSmiCommandPorts, kSmiMailbox};
}

// What velmora reaches through ports once the kernel's owners are known.
std::vector<PortRange> ports_beside(bool monitor_through_ports) {
    std::vector<PortRange> ranges = kernelless_ports();
    if (monitor_through_ports)
        ranges.push_back(kMonitorPorts);
    for (uint8_t host = 0; host < 2; ++host)
        if (smbus_i2c_dev(host) < 0 && smbus_host_base(host) != 0)
            ranges.push_back({smbus_host_base(host), kSmbusHostPorts});
    if (!pci_through_sysfs())
        ranges.push_back(kPciConfigPorts);
    return ranges;
}

}  // namespace

std::vector<PortRange> all_board_port_ranges() {
    std::vector<PortRange> ranges = kernelless_ports();
    ranges.push_back(kMonitorPorts);
    ranges.push_back({0x5000, kSmbusHostPorts});
    ranges.push_back({0x5100, kSmbusHostPorts});
    ranges.push_back(kPciConfigPorts);
    return ranges;
}

std::string port_ranges_text(const std::vector<PortRange>& ranges) {
    std::string text;
    char item[24];
    for (const PortRange& r : ranges) {
        if (r.count == 1)
            std::snprintf(item, sizeof item, "0x%x", r.first);
        else
            std::snprintf(item, sizeof item, "0x%x-0x%x", r.first, r.first + r.count - 1);
        text += (text.empty() ? "" : ", ") + std::string(item);
    }
    return text;
}

const std::vector<PciFunctionId> kNforce2Functions = {{0x00, 0}, {0x00, 1}, {0x00, 5},
                                                      {0x01, 1}, {0x08, 0}, {0x1E, 0}};

SmbusHostBases read_smbus_host_bases() {
    uint32_t base0 = 0xFFFFFFFFu, base1 = 0xFFFFFFFFu;
    if (!pci_config_read(0, NFORCE2_SMBUS_DEVICE, NFORCE2_SMBUS_FUNCTION, NFORCE2_SMBUS_REG_BASE0,
                         base0, 4))
        base0 = 0xFFFFFFFFu;
    if (!pci_config_read(0, NFORCE2_SMBUS_DEVICE, NFORCE2_SMBUS_FUNCTION, NFORCE2_SMBUS_REG_BASE1,
                         base1, 4))
        base1 = 0xFFFFFFFFu;
    return {io_base(base0), io_base(base1)};
}

KernelAccess take_kernel_access(bool ignore_drivers) {
    KernelAccess access;
    access.owners = read_kernel_owners();
    const std::string failure = pci_use_sysfs(kNforce2Functions);
    if (failure.empty())
        debug_print("VELMORA: PCI configuration: through sysfs\n");
    else
        debug_print("VELMORA: PCI configuration: through sysfs, %s\n", failure);
    if (ignore_drivers)
        debug_print("VELMORA: Kernel drivers ignored on request for the SMBus and the monitors\n");
    const SmbusHostBases bases = read_smbus_host_bases();
    route_host(access, 0, bases.host0, ignore_drivers);
    route_host(access, 1, bases.host1, ignore_drivers);
    log_bound_clients(access);
    const bool monitor_through_ports = route_monitors(access, ignore_drivers);
    route_fsb(access);
    log_fans(access);
    debug_print("VELMORA: SMI, port 80h and CMOS: through their ports\n");
    access.port_ranges = ports_beside(monitor_through_ports);
    return access;
}

std::string vid_chip_driver_refusal(const KernelAccess& access, uint8_t bus, uint8_t address) {
    if (bus > 1 || access.adapter_of_host[bus] < 0)
        return {};
    const int adapter = access.adapter_of_host[bus];
    const I2cClient* c = access.owners.bound_client(adapter, address);
    if (!c)
        return {};
    const std::string client = i2c_client_name(adapter, address);
    return "The kernel's " + c->driver + " driver holds the voltage chip at SMBus " + client +
           ": velmora reads and sets no voltage while it does.\nTo let velmora set them, "
           "unbind it:\n  echo " +
           client + " | sudo tee /sys/bus/i2c/drivers/" + c->driver +
           "/unbind\nThe other settings and the readings stay available.";
}
