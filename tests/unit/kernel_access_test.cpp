// SPDX-License-Identifier: GPL-2.0-or-later
// Who owns what beside the kernel's drivers, and how velmora reaches each resource: made-up
// kernel trees over the simulated board, and scripted ports for the raw path.
#include "app/kernel_access.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/privileges.h"
#include "automation/autofan.h"
#include "board/fsb.h"
#include "helpers/fake_kernel_tree.h"
#include "helpers/fake_platform.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "sensors/ite.h"
#include "sensors/lm90.h"
#include "sensors/sensor.h"
#include "sensors/winbond.h"
#include "sim/sim_kernel.h"
#include "sim/sim_machine.h"

namespace {

using Lines = std::vector<std::string>;

class KernelRoutes : public ::testing::Test {
  protected:
    KernelRoutes() {
        os.privileges.effective_root = true;
        install_port_backend(&machine);
    }
    ~KernelRoutes() override {
        pci_use_ports();
        install_kernel(nullptr);
        install_port_backend(nullptr);
        smbus_reset_state();
        sensors_reset_state();
        winbond_reset_state();
        fsb_reset_state();
    }
    // The simulated kernel over the tree as it stands: the drivers claim their ports now.
    KernelAccess take(bool ignore = false) {
        sim_kernel = std::make_unique<SimKernel>(machine, tree.root.string());
        install_kernel(sim_kernel.get());
        return take_kernel_access(ignore);
    }
    Lines log_lines() {
        Lines lines;
        std::string text = read_file("velmora.deb"), line;
        for (char c : text) {
            if (c != '\n') {
                line += c;
                continue;
            }
            lines.push_back(line);
            line.clear();
        }
        std::filesystem::remove("velmora.deb");
        return lines;
    }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
    SimMachine machine{*sim_profile(7)};
    FakeKernelTree tree{"root"};
    std::unique_ptr<SimKernel> sim_kernel;
};

TEST_F(KernelRoutes, OwnersAreReadFromTheKernelsTree) {
    tree.bind_smbus(true, 0x5000, 0x5500);
    tree.i2c_client(0, 0x4C, "lm90", "lm90");
    tree.i2c_client(0, 0x37, "atxp1", "");  // declared, no driver bound
    tree.hwmon(0, "acpitz");
    tree.hwmon(1, "w83627hf", "w83627hf");
    tree.cpufreq("nforce2");
    tree.fancontrol(812, "hwmon1/pwm1=hwmon1/temp2_input hwmon1/pwm2=hwmon1/temp1_input");
    SimKernel k(machine, tree.root.string());
    install_kernel(&k);
    KernelOwners owners = read_kernel_owners();
    EXPECT_EQ(owners.smbus_driver, "nForce2_smbus");
    ASSERT_EQ(owners.adapters.size(), 2u);
    EXPECT_TRUE(owners.adapter_at(0x5500) && owners.adapter_at(0x5500)->dev_node);
    EXPECT_EQ(owners.adapter_at(0x5100), nullptr);
    EXPECT_TRUE(owners.bound_client(0, 0x4C));
    EXPECT_FALSE(owners.bound_client(0, 0x37));
    EXPECT_EQ(owners.region_owner(0x295, 0x296), "w83627hf");
    EXPECT_EQ(owners.cpufreq_driver, "nforce2");
    EXPECT_EQ(owners.fancontrol_pid, 812);
    EXPECT_EQ(owners.fancontrol_outputs, (Lines{"hwmon1/pwm1", "hwmon1/pwm2"}));

    // A pid file left behind by a fancontrol that is gone names no owner.
    std::filesystem::remove_all(tree.root / "proc/812");
    owners = read_kernel_owners();
    EXPECT_EQ(owners.fancontrol_pid, 0);
}

TEST_F(KernelRoutes, EachResourceGoesWhereItsOwnerLetsIt) {
    // Debian's default: the adapter driver, i2c-dev, the monitors' drivers, cpufreq.
    tree.bind_smbus();
    tree.i2c_client(0, 0x4C, "lm90", "lm90");
    tree.hwmon(0, "w83627hf", "w83627hf");
    tree.cpufreq("nforce2");
    KernelAccess access = take();
    EXPECT_EQ(log_lines(),
              (Lines{"VELMORA: PCI configuration: through sysfs",
                     "VELMORA: SMBus host 0 at 0x5000: driver nForce2_smbus, through /dev/i2c-0",
                     "VELMORA: SMBus host 1 at 0x5100: driver nForce2_smbus, through /dev/i2c-1",
                     "VELMORA: Hardware monitor at 0x295: driver w83627hf, through "
                     "/sys/class/hwmon/hwmon0",
                     "VELMORA: LM90 at SMBus 0-004c: driver lm90, left to it",
                     "VELMORA: FSB: cpufreq driver nforce2 drives the clock, FSB changes refused",
                     "VELMORA: SMI, port 80h and CMOS: through their ports"}));
    uint8_t vid = 0;
    EXPECT_TRUE(smbus_read_byte_checked(0, 0x37, 0x00, vid));
    EXPECT_EQ(vid, 0x28);
    EXPECT_EQ(smbus_write_byte(0, 0x4C, 0x0A, 0x04), 1);  // busy: the lm90 driver's
    EXPECT_EQ(set_fsb(180), FSB_REFUSED);
    EXPECT_EQ(machine.world().fsb_mhz, 166);
    ASSERT_EQ(access.messages.size(), 1u);
    EXPECT_NE(access.messages[0].find("sudo modprobe -r cpufreq_nforce2"), std::string::npos);
    // The Winbond through hwmon, port 80h and SMI; the LM90 is its driver's.
    EXPECT_EQ(sensors_detect(&sensor_table()), 3);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
}

TEST_F(KernelRoutes, ConflictsAreRefusedWithTheDriverAndWhatToDo) {
    // i2c-dev not loaded: the hosts stay the driver's, and the user learns the command.
    tree.bind_smbus(false);
    KernelAccess access = take();
    ASSERT_EQ(access.messages.size(), 1u);
    EXPECT_NE(access.messages[0].find("\n  sudo modprobe i2c-dev\n"), std::string::npos);
    uint8_t byte = 0;
    EXPECT_FALSE(smbus_read_byte_checked(0, 0x37, 0x00, byte));

    // The atxp1 driver bound to the VID chip: nothing written, the unbind command named.
    tree.bind_smbus(true);
    tree.i2c_client(0, 0x37, "atxp1", "atxp1");
    log_lines();
    access = take();
    EXPECT_TRUE(access.messages.empty());
    EXPECT_EQ(smbus_write_byte(0, 0x37, 0x00, 0x29), 1);
    const std::string refusal = vid_chip_driver_refusal(access, 0, 0x37);
    EXPECT_NE(refusal.find("atxp1 driver holds the voltage chip at SMBus 0-0037"),
              std::string::npos);
    EXPECT_NE(refusal.find("\n  echo 0-0037 | sudo tee /sys/bus/i2c/drivers/atxp1/unbind\n"),
              std::string::npos);
    EXPECT_EQ(vid_chip_driver_refusal(access, 1, 0x37), "");
    EXPECT_EQ(log_lines()[3], "VELMORA: SMBus 0-0037 (atxp1): driver atxp1, no writes");

    // fancontrol drives pwm1: that fan is its own, AutoFAN takes only the other one.
    tree.hwmon(0, "w83627hf", "w83627hf");
    tree.fancontrol(812, "hwmon0/pwm1=hwmon0/temp2_input");
    access = take();
    ASSERT_EQ(access.messages.size(), 1u);
    EXPECT_NE(access.messages[0].find("fancontrol (pid 812) drives hwmon0/pwm1: velmora leaves"),
              std::string::npos);
    const int found = sensors_detect(&sensor_table());
    AutoFanList* fans = nullptr;
    EXPECT_EQ(autofan_find(&sensor_table(), found, &fans), 1);
    sensor_table().sensors[0].controls[0].value = 10;
    sensor_table().sensors[0].controls[1].value = 20;
    sensors_write_controls(&sensor_table());
    machine.kernel_out(0x295, 1, 0x5A);
    EXPECT_EQ(machine.kernel_in(0x296, 1), 0xFFu);  // pwm1 as the BIOS left it
    machine.kernel_out(0x295, 1, 0x5B);
    EXPECT_EQ(machine.kernel_in(0x296, 1), 20u);
    std::filesystem::remove_all(tree.root / "sys/class/hwmon");
    winbond_reset_state();
    sensors_reset_state();
    log_lines();

    // --ignore-kernel-drivers: the raw ports as before, said in the log.
    take(true);
    EXPECT_EQ(smbus_i2c_dev(0), -1);
    EXPECT_EQ(log_lines()[2],
              "VELMORA: SMBus host 0 at 0x5000: driver nForce2_smbus ignored on "
              "request, through its ports");
    EXPECT_EQ(smbus_read_byte(0, 0x37, 0x00), 0x28);  // nothing was written through it all
}

TEST_F(KernelRoutes, WithoutABoundDriverTheHostsAreReachedAtTheBasesTheChipsetGives) {
    KernelAccess access = take();  // i2c_nforce2 loaded but bound to nothing
    EXPECT_TRUE(access.messages.empty());
    EXPECT_EQ(log_lines()[1],
              "VELMORA: SMBus host 0 at 0x5000: no driver bound, through its ports");
    uint8_t vid = 0;
    EXPECT_TRUE(smbus_read_byte_checked(0, 0x37, 0x00, vid));
    EXPECT_EQ(vid, 0x28);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();

    // A BIOS that put host 1 at 0x5500: its transactions go there.
    ScriptedPortBackend ports;
    install_port_backend(&ports);
    pci_use_ports();
    ports.script[0xCFC] = {0x5001, 0x5501};
    const SmbusHostBases bases = read_smbus_host_bases();
    EXPECT_EQ(std::pair(bases.host0, bases.host1), std::pair(uint16_t{0x5000}, uint16_t{0x5500}));
    smbus_set_host_base(1, bases.host1);
    ports.accesses.clear();
    smbus_write_byte(1, 0x37, 0x00, 0x20);
    ASSERT_FALSE(ports.accesses.empty());
    EXPECT_EQ(ports.accesses[0], out(1, 0x5503, 0x00));
}

// The config file shows an opener without CAP_SYS_ADMIN the first 64 bytes: a PLL read there
// is a failure, never a 0.
TEST_F(KernelRoutes, AConfigFileOpenedWithoutThePrivilegeFailsPastItsHeader) {
    os.privileges = {};
    take();
    uint32_t value = 0x1234;
    EXPECT_EQ(pci_config_read(0, 0, 0, 0x00, value, 2), 1);
    EXPECT_EQ(value, 0x10DEu);
    EXPECT_EQ(pci_config_read(0, 1, 1, 0x50, value, 4), 0);
    EXPECT_NE(
        read_file("velmora.deb").find("PCI: Reading 00:01.1 register 0x50 failed (0 of 4 bytes)\n"),
        std::string::npos);
    os.privileges.effective_root = true;
    take();
    EXPECT_EQ(pci_config_read(0, 1, 1, 0x50, value, 4), 1);
    EXPECT_EQ(value, 0x5001u);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
}

// AutoFAN's duties and the other controls give the chip the same registers whether velmora
// writes them or the kernel's driver does: the Winbond's duty whole and its clock select as a
// frequency, the ITE's 7-bit duty doubled for it87, which halves it again.
TEST_F(KernelRoutes, ControlsGiveTheSameRegistersThroughTheKernelAsThroughThePorts) {
    using Registers = std::vector<std::vector<uint32_t>>;
    const struct {
        int profile;
        const char *hwmon, *driver;
        std::vector<std::vector<uint8_t>> settings;  // controls 0-3
        std::vector<uint8_t> registers;
    } chips[] = {
        {7,
         "w83627hf",
         "w83627hf",
         {{0, 255, 0, 4}, {1, 128, 2, 3}, {200, 7, 4, 1}},
         {0x5A, 0x5B, 0x5C}},
        // The fourth control switches software fan control on; 0x80 hands a fan back to the
        // chip's automatic control.
        {1, "it8712", "it87", {{0, 1, 127, 1}, {64, 0x80, 5, 1}}, {0x13, 0x15, 0x16, 0x17}},
    };
    for (const auto& chip : chips) {
        SCOPED_TRACE(chip.hwmon);
        Registers seen[2];
        for (int through_kernel = 0; through_kernel < 2; ++through_kernel) {
            SimMachine board(*sim_profile(chip.profile));
            install_port_backend(&board);
            FakeKernelTree own_tree(std::string("tree-") + chip.hwmon);
            own_tree.hwmon(0, chip.hwmon, chip.driver);
            std::unique_ptr<SimKernel> k;
            if (through_kernel) {
                k = std::make_unique<SimKernel>(board, own_tree.root.string());
                k->open_as_root(true);
                install_kernel(k.get());
                take_kernel_access(false);
            }
            ASSERT_GE(sensors_detect(&sensor_table()), 1);
            Sensor& monitor = sensor_table().sensors[0];
            sensors_read_all(&sensor_table());
            for (const auto& values : chip.settings) {
                for (size_t i = 0; i < values.size(); ++i)
                    monitor.controls[i].value = values[i];
                sensors_write_controls(&sensor_table());
                std::vector<uint32_t> regs;
                for (uint8_t reg : chip.registers) {
                    board.kernel_out(0x295, 1, reg);
                    regs.push_back(board.kernel_in(0x296, 1));
                }
                seen[through_kernel].push_back(regs);
            }
            EXPECT_TRUE(board.world().faults.empty()) << board.world().faults.front();
            install_kernel(nullptr);
            pci_use_ports();
            smbus_reset_state();
            sensors_reset_state();
            winbond_reset_state();
            ite_reset_state();
        }
        EXPECT_EQ(seen[1], seen[0]);
    }
}

// The LM90's conversion rate through the lm90 driver's update_interval reaches the chip as
// the same rate register.
TEST_F(KernelRoutes, TheLm90sRateGoesThroughItsDriverAsTheSameRegister) {
    SimMachine dfi(*sim_profile(4));  // its LM90 sits on SMBus 1
    install_port_backend(&dfi);
    FakeKernelTree dfi_tree("dfi-root");
    dfi_tree.bind_drivers_of(dfi);
    SimKernel k(dfi, dfi_tree.root.string());
    k.open_as_root(true);
    install_kernel(&k);
    take_kernel_access(false);
    const int found = sensors_detect(&sensor_table());
    sensors_read_all(&sensor_table());
    Sensor& lm90 = sensor_table().sensors[found - 2];  // before the BIOS sensor
    ASSERT_EQ(lm90.type, SENSOR_LM90);
    EXPECT_EQ(lm90.controls[0].value, 8);  // 16 conversions a second at power-on
    for (uint8_t rate : {4, 9, 0}) {
        lm90.controls[0].value = rate;
        sensors_write_controls(&sensor_table());
        sensors_read_all(&sensor_table());
        EXPECT_EQ(lm90.controls[0].value, rate);
    }
    EXPECT_TRUE(dfi.world().faults.empty()) << dfi.world().faults.front();
    lm90_reset_state();
    winbond_reset_state();
    pci_use_ports();
    smbus_reset_state();
    install_kernel(nullptr);
}

TEST_F(KernelRoutes, OnlyHeldCapabilitiesAreDroppedAndAFailedDropIsLogged) {
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
