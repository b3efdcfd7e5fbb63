// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/hardware_gate.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/prompts.h"
#include "diag/debuglog.h"
#include "hw/pci.h"
#include "hw/smbus.h"
#include "platform/platform.h"

namespace {

// The MCP's SMBus controller, PCI function 00:01.1: its I/O base registers of host 0 and 1.
constexpr uint8_t NFORCE2_SMBUS_DEVICE = 0x01;
constexpr uint8_t NFORCE2_SMBUS_FUNCTION = 1;
constexpr uint8_t NFORCE2_SMBUS_REG_BASE0 = 0x50;
constexpr uint8_t NFORCE2_SMBUS_REG_BASE1 = 0x54;
constexpr uint32_t kIoBaseMask = 0xFFFC;  // bit 0 marks I/O space, bit 1 is reserved

// A kernel driver that reaches the SMBus host or a chip velmora drives: its module name and
// the name it registers under sysfs bus/*/drivers.
struct OwningDriver {
    const char* module;
    const char* driver;
};
constexpr OwningDriver kOwningDrivers[] = {
    {"i2c_nforce2", "nForce2_smbus"},
    {"w83627hf", "w83627hf"},
    {"w83781d", "w83781d"},
    {"it87", "it87"},
    {"lm90", "lm90"},
    {"atxp1", "atxp1"},
};

// The names those drivers give their I/O regions in procfs ioports.
struct OwnedRegion {
    const char* name;
    const char* module;
};
constexpr OwnedRegion kOwnedRegions[] = {
    {"nForce2_smbus", "i2c_nforce2"},
    {"nForce2 SMBus", "i2c_nforce2"},
    {"w83627hf", "w83627hf"},
    {"w83781d", "w83781d"},
    {"it87", "it87"},
};

constexpr const char* kIgnoreOption = "--ignore-kernel-drivers";

bool same_text_ignoring_case(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

bool directory_exists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

// The first word of every line of procfs modules.
std::set<std::string> loaded_modules(const std::string& procfs) {
    std::set<std::string> names;
    std::ifstream in(procfs + "/modules");
    std::string line;
    while (std::getline(in, line))
        names.insert(line.substr(0, line.find(' ')));
    return names;
}

// Whether any bus of sysfs has the driver registered.
bool driver_registered(const std::string& sysfs, const char* driver) {
    std::error_code ec;
    for (std::filesystem::directory_iterator bus(sysfs + "/bus", ec), end; !ec && bus != end;
         bus.increment(ec))
        if (directory_exists(bus->path() / "drivers" / driver))
            return true;
    return false;
}

// The region names of procfs ioports: the text after " : " on each line.
std::vector<std::string> io_region_names(const std::string& procfs) {
    std::vector<std::string> names;
    std::ifstream in(procfs + "/ioports");
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(" : ");
        if (at == std::string::npos)
            continue;
        std::string name = line.substr(at + 3);
        name.erase(name.find_last_not_of(" \t\r") + 1);
        names.push_back(name);
    }
    return names;
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

// "i2c_nforce2, w83627hf, I/O region "it87""
std::string findings_list(const KernelDriverFindings& found) {
    std::vector<std::string> items = found.modules;
    for (const std::string& region : found.regions)
        items.push_back("I/O region \"" + region + "\"");
    return joined(items, ", ");
}

}  // namespace

SmbusHostBases read_smbus_host_bases() {
    uint32_t base0 = 0, base1 = 0;
    pci_config_read(0, NFORCE2_SMBUS_DEVICE, NFORCE2_SMBUS_FUNCTION, NFORCE2_SMBUS_REG_BASE0, base0,
                    4);
    pci_config_read(0, NFORCE2_SMBUS_DEVICE, NFORCE2_SMBUS_FUNCTION, NFORCE2_SMBUS_REG_BASE1, base1,
                    4);
    return {static_cast<uint16_t>(base0 & kIoBaseMask), static_cast<uint16_t>(base1 & kIoBaseMask)};
}

bool smbus_host_bases_expected(const SmbusHostBases& bases) {
    return bases.host0 == smbus_base(0) && bases.host1 == smbus_base(1);
}

void gate_smbus_hosts(const SmbusHostBases& bases, Prompts& prompts) {
    if (smbus_host_bases_expected(bases))
        return;
    debug_print("VELMORA: SMBus hosts at 0x%x/0x%x, not 0x5000/0x5100: SMBus access refused\n",
                bases.host0, bases.host1);
    smbus_block_access(true);
    char text[320];
    std::snprintf(text, sizeof text,
                  "The SMBus hosts of this board are at 0x%04X and 0x%04X, not at 0x5000 and "
                  "0x5100 where an nForce2 has them.\n"
                  "velmora can neither read nor set voltages on this board; FSB and RAM timings "
                  "still work.",
                  bases.host0, bases.host1);
    prompts.show_message(text);
}

KernelDriverFindings find_kernel_drivers() {
    Platform& os = current_platform();
    const std::string sysfs = os.sysfs_root();
    const std::string procfs = os.procfs_root();
    KernelDriverFindings found;
    const std::set<std::string> loaded = loaded_modules(procfs);
    for (const OwningDriver& d : kOwningDrivers) {
        if (loaded.count(d.module) || directory_exists(sysfs + "/module/" + d.module) ||
            driver_registered(sysfs, d.driver))
            found.modules.push_back(d.module);
    }
    for (const std::string& name : io_region_names(procfs)) {
        for (const OwnedRegion& r : kOwnedRegions) {
            if (!same_text_ignoring_case(name, r.name))
                continue;
            bool known = false;
            for (const std::string& seen : found.modules)
                known = known || seen == r.module;
            for (const std::string& seen : found.regions)
                known = known || same_text_ignoring_case(seen, name.c_str());
            if (!known)
                found.regions.push_back(name);
        }
    }
    return found;
}

std::string kernel_driver_refusal_text(const KernelDriverFindings& found) {
    std::string text =
        "Kernel drivers are using the board's SMBus or sensor chips: " + findings_list(found) +
        ".\nTwo drivers taking turns on one SMBus host can send a byte to the "
        "wrong chip, so velmora does not touch the real hardware while they are "
        "there.\n";
    if (!found.modules.empty())
        text += "Unload them first:\n  sudo modprobe -r " + joined(found.modules, " ") + "\n";
    if (!found.regions.empty())
        text +=
            "An I/O region without a module belongs to a driver built into the kernel; "
            "start a kernel without it.\n";
    text +=
        "If you are sure they stay idle, start velmora with --ignore-kernel-drivers.\n"
        "velmora ends now; nothing was changed.";
    return text;
}

bool gate_kernel_drivers(const std::vector<std::string>& args, Prompts& prompts) {
    const KernelDriverFindings found = find_kernel_drivers();
    if (found.empty())
        return true;
    for (const std::string& a : args) {
        if (a == kIgnoreOption) {
            debug_print("VELMORA: Kernel drivers ignored on request: %s\n", findings_list(found));
            return true;
        }
    }
    debug_print("VELMORA: Kernel drivers in use: %s; real hardware refused\n",
                findings_list(found));
    prompts.show_refusal(kernel_driver_refusal_text(found));
    return false;
}
