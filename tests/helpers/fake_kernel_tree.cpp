// SPDX-License-Identifier: GPL-2.0-or-later
#include "helpers/fake_kernel_tree.h"

#include <cstdio>
#include <fstream>

#include "sim/sim_machine.h"

namespace fs = std::filesystem;

FakeKernelTree::FakeKernelTree(fs::path folder) : root(fs::absolute(folder)) {
    fs::create_directories(root / "dev");
    fs::create_directories(root / "sys/bus/i2c/devices");
    fs::create_directories(root / "sys/class/hwmon");
    write("/proc/ioports", ioports);
}

void FakeKernelTree::write(const std::string& path, const std::string& text) {
    const fs::path file = root / path.substr(1);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void FakeKernelTree::link(const std::string& path, const std::string& target) {
    const fs::path file = root / path.substr(1);
    fs::create_directories(file.parent_path());
    std::error_code ec;
    fs::remove(file, ec);
    fs::create_symlink(target, file);
}

void FakeKernelTree::bind_smbus(bool i2c_dev, uint16_t base0, uint16_t base1) {
    link("/sys/bus/pci/devices/0000:00:01.1/driver", "../../../bus/pci/drivers/nForce2_smbus");
    int adapter = 0;
    char line[64];
    for (uint16_t base : {base0, base1}) {
        char name[48];
        std::snprintf(name, sizeof name, "SMBus nForce2 adapter at %04x\n", base);
        const std::string folder = "/sys/bus/i2c/devices/i2c-" + std::to_string(adapter);
        write(folder + "/name", name);
        if (i2c_dev)
            write("/dev/i2c-" + std::to_string(adapter), "");
        std::snprintf(line, sizeof line, "%04x-%04x : nForce2_smbus\n", base, base + 0x3F);
        ioports += line;
        ++adapter;
    }
    write("/proc/ioports", ioports);
}

void FakeKernelTree::i2c_client(int adapter, uint8_t address, const std::string& name,
                                const std::string& driver) {
    char folder[64];
    std::snprintf(folder, sizeof folder, "/sys/bus/i2c/devices/%d-%04x", adapter, address);
    write(std::string(folder) + "/name", name + "\n");
    if (!driver.empty())
        link(std::string(folder) + "/driver", "../../../../../bus/i2c/drivers/" + driver);
}

void FakeKernelTree::hwmon(int index, const std::string& name, const std::string& isa_driver) {
    write("/sys/class/hwmon/hwmon" + std::to_string(index) + "/name", name + "\n");
    if (isa_driver.empty())
        return;
    fs::create_directories(root / "sys/bus/platform/drivers" / isa_driver);
    ioports += "0290-0297 : " + isa_driver + "\n";
    write("/proc/ioports", ioports);
}

void FakeKernelTree::client_hwmon(int index, int adapter, uint8_t address,
                                  const std::string& name) {
    const std::string folder = "/sys/class/hwmon/hwmon" + std::to_string(index);
    write(folder + "/name", name + "\n");
    char client[16];
    std::snprintf(client, sizeof client, "%d-%04x", adapter, address);
    link(folder + "/device", std::string("../../../bus/i2c/devices/") + client);
}

void FakeKernelTree::cpufreq(const std::string& driver) {
    write("/sys/devices/system/cpu/cpu0/cpufreq/scaling_driver", driver + "\n");
}

void FakeKernelTree::fancontrol(int pid, const std::string& fctemps) {
    write("/run/fancontrol.pid", std::to_string(pid) + "\n");
    write("/proc/" + std::to_string(pid) + "/comm", "fancontrol\n");
    write("/etc/fancontrol", "INTERVAL=10\nFCTEMPS=" + fctemps + "\nMINTEMP=\n");
}

void FakeKernelTree::bind_drivers_of(SimMachine& machine) {
    bind_smbus();
    machine.kernel_out(0x295, 1, 0x58);
    const uint32_t chip_id = machine.kernel_in(0x296, 1);
    if (chip_id == 0x21)
        hwmon(0, "w83627hf", "w83627hf");
    else if (chip_id == 0x30)
        hwmon(0, "w83782d", "w83781d");
    else if (chip_id == 0x90)
        hwmon(0, "it8712", "it87");
    for (int bus = 0; bus < 2; ++bus) {
        const uint16_t base = static_cast<uint16_t>(0x5000 + 0x100 * bus);
        machine.kernel_out(base + 3, 1, 0xFE);
        machine.kernel_out(base + 2, 1, 0x4C << 1);
        machine.kernel_out(base, 1, 0x07);
        if (machine.kernel_in(base + 1, 1) != 0x80 || machine.kernel_in(base + 4, 1) != 0x01)
            continue;
        machine.kernel_out(base + 3, 1, 0xFF);
        machine.kernel_out(base, 1, 0x07);
        machine.kernel_in(base + 1, 1);
        const bool lm99 = (machine.kernel_in(base + 4, 1) & 0xF0) == 0x30;
        i2c_client(bus, 0x4C, lm99 ? "lm99" : "lm90", "lm90");
        client_hwmon(1, bus, 0x4C, lm99 ? "lm99" : "lm90");
        return;
    }
}
