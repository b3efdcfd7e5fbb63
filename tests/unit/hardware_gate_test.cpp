// SPDX-License-Identifier: GPL-2.0-or-later
// The checks before the first access to a real board, on fake kernel trees and scripted ports.
#include "app/hardware_gate.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/privileges.h"
#include "helpers/fake_platform.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "sim/sim_machine.h"

namespace {

class HardwareGate : public ::testing::Test {
  protected:
    HardwareGate() { install_port_backend(&ports); }
    ~HardwareGate() override {
        install_port_backend(nullptr);
        smbus_block_access(false);
    }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
    ScriptedPortBackend ports;
    ScriptedPrompts prompts;
};

TEST_F(HardwareGate, SmbusHostsAwayFromTheirNforce2BasesBlockTheSmbus) {
    const struct {
        uint32_t reg50, reg54;
        bool expected;
    } cases[] = {{0x5001, 0x5101, true},
                 {0x5000, 0x5103, true},  // bits 0 and 1 are no part of the base
                 {0x0E01, 0x5101, false},
                 {0xFFFFFFFF, 0xFFFFFFFF, false}};  // no SMBus function: the bus floats
    for (const auto& c : cases) {
        ports.accesses.clear();
        ports.script[0xCFC] = {c.reg50, c.reg54};
        EXPECT_EQ(smbus_host_bases_expected(read_smbus_host_bases()), c.expected) << c.reg50;
        EXPECT_EQ(ports.accesses,
                  (std::vector<PortAccess>{out(4, 0xCF8, 0x80000950), in(4, 0xCFC, c.reg50),
                                           out(4, 0xCF8, 0x80000954), in(4, 0xCFC, c.reg54)}));
    }
    gate_smbus_hosts({0x5000, 0x5100}, prompts);
    EXPECT_FALSE(smbus_access_blocked());
    gate_smbus_hosts({0x0E00, 0x5100}, prompts);
    EXPECT_EQ(read_file("velmora.deb"),
              "VELMORA: SMBus hosts at 0xe00/0x5100, not 0x5000/0x5100: SMBus access refused\n");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("at 0x0E00 and 0x5100, not at 0x5000"), std::string::npos);
    ports.accesses.clear();
    EXPECT_EQ(smbus_write_byte(0, 0x37, 0x00, 0x20), 1);
    EXPECT_TRUE(ports.accesses.empty());
}

TEST_F(HardwareGate, TheSimulatedBoardHasItsSmbusHostsWhereAnNforce2HasThem) {
    SimMachine machine(*sim_profile(7));
    install_port_backend(&machine);
    EXPECT_TRUE(smbus_host_bases_expected(read_smbus_host_bases()));
    EXPECT_TRUE(machine.world().faults.empty());
}

TEST_F(HardwareGate, KernelDriversAreFoundInModulesDriverDirectoriesAndIoRegions) {
    const struct {
        const char* name;
        std::vector<std::string> dirs;  // below the case's sysfs root
        const char *modules_file, *ioports_file;
        std::vector<std::string> modules, regions;
    } cases[] = {
        {"unrelated",
         {"bus/i2c/drivers/lm75"},
         "i2c_nforce2_s4985 16384 0 - Live 0x0\n",
         "0cf8-0cff : PCI conf1\n  0290-0297 : it87xx\n",
         {},
         {}},
        {"registered",
         {"bus/pci/drivers/nForce2_smbus", "module/lm90"},
         "w83627hf 1 0 - Live 0x0\n",
         "",
         {"i2c_nforce2", "w83627hf", "lm90"},
         {}},
        {"regions",
         {},
         "it87 1 0 - Live 0x0\n",
         "0000-0000 : it87\n0000-0000 : 0000:00:01.1\n  0000-0000 : nForce2_smbus\r\n"
         "0000-0000 : W83627HF\n0000-0000 : w83627hf\n",
         {"it87"},
         {"nForce2_smbus", "W83627HF"}},
    };
    for (const auto& c : cases) {
        const std::filesystem::path root(c.name);
        for (const std::string& d : c.dirs)
            std::filesystem::create_directories(root / "sys" / d);
        std::filesystem::create_directories(root / "proc");
        write_file(root / "proc/modules", c.modules_file);
        write_file(root / "proc/ioports", c.ioports_file);
        os.sys_root = (root / "sys").string();
        os.proc_root = (root / "proc").string();
        const KernelDriverFindings found = find_kernel_drivers();
        EXPECT_EQ(found.modules, c.modules) << c.name;
        EXPECT_EQ(found.regions, c.regions) << c.name;
    }
}

TEST_F(HardwareGate, KernelDriversRefuseTheHardwareWithTheUnloadCommandUnlessIgnored) {
    std::filesystem::create_directories("sys/bus/platform/drivers/w83627hf");
    std::filesystem::create_directories("proc");
    write_file("proc/modules", "i2c_nforce2 16384 0 - Live 0x0\n");
    write_file("proc/ioports", "0000-0000 : it87\n");
    const std::string found = "i2c_nforce2, w83627hf, I/O region \"it87\"";
    EXPECT_FALSE(gate_kernel_drivers({"-s", "1.65"}, prompts));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("chips: " + found + ".\n"), std::string::npos);
    EXPECT_NE(prompts.messages[0].find("\n  sudo modprobe -r i2c_nforce2 w83627hf\n"),
              std::string::npos);
    EXPECT_TRUE(gate_kernel_drivers({"--ignore-kernel-drivers"}, prompts));
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(read_file("velmora.deb"),
              "VELMORA: Kernel drivers in use: " + found + "; real hardware refused\n" +
                  "VELMORA: Kernel drivers ignored on request: " + found + "\n");
}

TEST_F(HardwareGate, OnlyHeldCapabilitiesAreDroppedAndAFailedDropIsLogged) {
    os.messages = {{1, "Operation not permitted"}};
    const struct {
        ProcessPrivileges held;
        bool drop_succeeds;
        const char* log;
    } cases[] = {
        {{}, true, ""},
        {{false, false, 1u << 17, 1u << 17}, true, "VELMORA: Capabilities dropped, kept: none\n"},
        {{true, true, 0xFF, 0xFF},
         false,
         "VELMORA: Dropping capabilities failed: Operation not permitted\n"}};
    for (const auto& c : cases) {
        os.privileges = c.held;
        os.drop_succeeds = c.drop_succeeds;
        EXPECT_EQ(process_is_privileged(), *c.log != 0) << c.log;
        EXPECT_EQ(drop_process_privileges(), c.log);
    }
    EXPECT_EQ(os.calls, (std::vector<std::string>{"drop_privileges",
                                                  "drop_privileges keep_file_owner_caps"}));
}

}  // namespace
