// The whole simulated machine, driven through velmora's own access code.
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"
#include "hw/pci.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/sim_physics.h"

namespace {

class SimMachineTest : public ::testing::Test {
  protected:
    SimMachineTest() { install_clock(&clock); }
    ~SimMachineTest() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }
    SimMachine& boot(int profile) {
        machine = std::make_unique<SimMachine>(*sim_profile(profile));
        machine->set_cpu_load(0.0);
        install_port_backend(machine.get());
        return *machine;
    }
    uint32_t pci(uint8_t dev, uint8_t fn, uint8_t reg) {
        uint32_t v = 0;
        pci_config_read(0, dev, fn, reg, v, 4);
        return v;
    }
    // The voltage chip as velmora's chip search finds it: a probe byte that is neither 0 nor
    // 0xFF at 0x1B (register 0x0D), 0x37 or 0x4E (register 0), bus 0 before bus 1.
    std::pair<int, int> find_vid_chip() {
        for (uint8_t address : {0x1B, 0x37, 0x4E})
            for (uint8_t bus : {0, 1}) {
                uint8_t b = smbus_read_byte(bus, address, address == 0x1B ? 0x0D : 0x00);
                if (b != 0 && b != 0xFF)
                    return {bus, address};
            }
        return {-1, -1};
    }

    TempWorkDir dir;
    VirtualClock clock;
    std::unique_ptr<SimMachine> machine;
};

TEST_F(SimMachineTest, EveryProfileBootsAsItsBoardWithTheChipsItHas) {
    for (int n = 0; n < kSimProfileCount; ++n) {
        const SimProfile& p = *sim_profile(n);
        SimMachine& m = boot(n);
        EXPECT_EQ(pci(0, 0, 0x00), 0x01E010DEu) << n;
        EXPECT_EQ(pci(0, 5, 0x48), 166666666u) << n;
        EXPECT_EQ(find_vid_chip(), std::make_pair(int(p.vid_bus), int(p.vid_address))) << n;
        EXPECT_DOUBLE_EQ(m.world().vcore, 1.65) << n;
        EXPECT_DOUBLE_EQ(m.world().cpu_mhz(), 166.0 * 11.0) << n;
        port_out8(0x58, 0x295);  // the monitor's chip id register, as the Winbond driver reads it
        const uint8_t chip = port_in8(0x296);
        const uint8_t expected_chip = p.monitor == SimMonitorChip::W83627HF  ? 0x21
                                      : p.monitor == SimMonitorChip::W83782D ? 0x30
                                      : p.monitor == SimMonitorChip::IT8712F ? 0x90
                                                                             : 0xFF;
        EXPECT_EQ(chip, expected_chip) << n;
        EXPECT_EQ(smbus_read_byte(p.lm90_bus < 0 ? 0 : p.lm90_bus, 0x4C, 0xFE),
                  p.lm90_bus < 0 ? 0 : 0x01)
            << n;
        EXPECT_EQ(port_in8(0x442F), p.has_smi ? port_in8(0x442F) : 0xFF) << n;
        EXPECT_EQ(port_in32(0x1234), 0xFFFFFFFFu) << n;  // nothing decodes it
        EXPECT_TRUE(m.world().faults.empty()) << n;
    }
}

TEST_F(SimMachineTest, SettingsSurviveTheStateFileAndAPowerCycleForgetsThem) {
    SimMachine& m = boot(7);
    // Vcore 1.65 -> 1.70 in two codes, FSB taken over at 166 and raised to 167.
    smbus_write_byte(0, 0x37, 0x00, 0x27);
    smbus_write_byte(0, 0x37, 0x00, 0x26);
    pci_config_write(0, 0, 0, 0xA4, 0x00103508, 4);  // N 53, M 8: 166 MHz
    pci_config_write(0, 0, 0, 0xA8, 1, 1);
    pci_config_write(0, 0, 0, 0xA4, 0x00101403, 4);  // N 20, M 3: 167 MHz
    const double fsb = m.world().fsb_mhz;
    EXPECT_DOUBLE_EQ(fsb, 167.0);
    EXPECT_TRUE(m.world().faults.empty());
    m.world().faults.push_back("kept");
    ASSERT_TRUE(sim_save_state(m));

    SimMachine again(*sim_profile(7));
    SimLoadReport report;
    ASSERT_TRUE(sim_load_state(again, report));
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    EXPECT_DOUBLE_EQ(again.world().vcore, 1.70);
    EXPECT_DOUBLE_EQ(again.world().fsb_mhz, fsb);
    EXPECT_EQ(again.world().faults.back(), "kept");
    EXPECT_EQ(sim_state_profile(), 7);
    EXPECT_EQ(again.state_text(), m.state_text());

    again.power_on();
    EXPECT_DOUBLE_EQ(again.world().vcore, 1.65);
    EXPECT_DOUBLE_EQ(again.world().fsb_mhz, 166.0);
    EXPECT_TRUE(again.world().faults.empty());
}

TEST_F(SimMachineTest, ADamagedStateFileLoadsWhatIsValidAndSaysWhatIsNot) {
    SimMachine& m = boot(7);
    std::string text = m.state_text();
    text.replace(text.find("[ATXP1]"), 7, "[ATXP1]\r\nthis is not a setting");
    text.replace(text.find("[NFORCE2_PCI]"), 13, "[NFORCE2-PCI]");
    text += "\x01\x02 junk without equals\r\n[World]\r\ncpu_temp_c=hot\r\n";
    write_file("velmora-sim.ini", text);
    SimMachine loaded(*sim_profile(7));
    SimLoadReport report;
    ASSERT_TRUE(sim_load_state(loaded, report));
    std::string all;
    for (auto& p : report.problems)
        all += p + "\n";
    EXPECT_NE(all.find("not understood"), std::string::npos) << all;
    EXPECT_NE(all.find("NFORCE2_PCI: section missing"), std::string::npos) << all;
    EXPECT_DOUBLE_EQ(loaded.world().fsb_mhz, 166.0);
    EXPECT_DOUBLE_EQ(loaded.world().vcore, 1.65);

    write_file("velmora-sim.ini", std::string("\0\xff\r\n[[[\r\n=\r\n", 9));
    EXPECT_EQ(sim_state_profile(), -1);
    SimLoadReport junk;
    EXPECT_TRUE(sim_load_state(loaded, junk));
    EXPECT_FALSE(junk.problems.empty());
    EXPECT_FALSE(sim_load_state(loaded, junk, "missing.ini"));
}

TEST_F(SimMachineTest, TheCpuHeatsWithLoadAndVoltageAndCoolsWithItsFan) {
    SimMachine& m = boot(7);
    const double idle = m.world().cpu_temp_c;
    m.set_cpu_load(1.0);
    clock.advance(300000);
    m.advance();
    const double busy = m.world().cpu_temp_c;
    EXPECT_GT(busy, idle + 15);
    // More volts, more heat: 1.65 -> 1.75 V in single codes.
    for (uint8_t code = 0x27; code >= 0x24; --code)
        smbus_write_byte(0, 0x37, 0, code);
    clock.advance(300000);
    m.advance();
    EXPECT_GT(m.world().cpu_temp_c, busy + 2);
    // The CPU fan stopped: it settles far hotter.
    m.world().fan_duty[0] = 0;
    clock.advance(300000);
    m.advance();
    EXPECT_LT(m.world().fan_rpm[0], 1.0);
    EXPECT_GT(m.world().cpu_temp_c, busy + 30);
    EXPECT_TRUE(m.world().faults.empty());
}

TEST_F(SimMachineTest, TheSimulatedLoadFollowsTheHostsCounters) {
    FakePlatform os;
    ScopedPlatform installed(os);
    os.system_time = 1000000;
    os.idle_time = 500000;
    SimMachine m(*sim_profile(7));  // follows the host from its start
    os.system_time += 10000000;     // one second, 25 % of it idle
    os.idle_time += 2500000;
    clock.advance(1000);
    m.advance();
    EXPECT_DOUBLE_EQ(m.world().cpu_load, 0.75);
}

}  // namespace
