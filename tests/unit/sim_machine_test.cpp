// SPDX-License-Identifier: GPL-2.0-or-later
// The whole simulated machine, driven through velmora's own access code.
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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
        // The BIOS has programmed the VID chip with the CPU's code, except on the general
        // board, whose ATXP1 it does not know: enable bit clear, the regulator on the CPU's pins.
        const uint8_t vid_reg = p.vid_chip == SimVidChip::Ms3 ? 0x0C : 0x00;
        EXPECT_EQ(smbus_read_byte(p.vid_bus, p.vid_address, vid_reg), n == 14 ? 0x08 : 0x28) << n;
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
    clock.advance(100);
    smbus_write_byte(0, 0x37, 0x00, 0x26);
    pci_config_write(0, 0, 0, 0xA4, 0x00103508, 4);  // N 53, M 8: 166 MHz
    pci_config_write(0, 0, 0, 0xA8, 1, 1);
    pci_config_write(0, 0, 0, 0xA4, 0x00101403, 4);  // N 20, M 3: 167 MHz
    const double fsb = m.world().fsb_mhz;
    EXPECT_DOUBLE_EQ(fsb, 167.0);
    EXPECT_TRUE(m.world().faults.empty());
    m.world().faults.push_back("kept");
    m.world().cpu_temp_c = 40.5;  // values every FPU prints alike
    m.world().sys_temp_c = 30.25;
    ASSERT_TRUE(sim_save_state(m));
    EXPECT_EQ(read_file(kSimStateFile), golden("sim_state_profile7_settings.ini"));

    SimMachine again(*sim_profile(7));
    SimLoadReport report;
    ASSERT_TRUE(sim_load_state(again, report));
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    EXPECT_DOUBLE_EQ(again.world().vcore, 1.70);
    EXPECT_DOUBLE_EQ(again.world().fsb_mhz, fsb);
    ASSERT_FALSE(again.world().faults.empty());
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
    EXPECT_EQ(sim_state_profile(), kSimStateWithoutProfile);
    SimLoadReport junk;
    EXPECT_TRUE(sim_load_state(loaded, junk));
    EXPECT_FALSE(junk.problems.empty());
    EXPECT_FALSE(sim_load_state(loaded, junk, "missing.ini"));
}

TEST_F(SimMachineTest, HandEditsLoadWhatIsUsableAndEachUnusableItemIsOneProblem) {
    // Every board's own file loads without a word: each key it writes is one it reads.
    for (int n = 0; n < kSimProfileCount; ++n) {
        SimMachine& m = boot(n);
        SimLoadReport report;
        m.load_state_text(m.state_text(), report);
        EXPECT_EQ(report.problems, std::vector<std::string>{}) << n;
    }
    SimMachine& m = boot(7);
    pci_config_write(0, 0, 0, 0xA4, 0x00103508, 4);  // 166 MHz, taken over
    pci_config_write(0, 0, 0, 0xA8, 1, 1);
    pci_config_write(0, 0, 0, 0xA4, 0x00101403, 4);  // 167 MHz
    const double settled = m.world().cpu_temp_c, kept = 55.5;
    m.world().cpu_temp_c = kept;
    const std::string saved = m.state_text();
    // Line numbers: where a text of the saved file starts, and the first line after it.
    const auto line_of = [&](const std::string& text) {
        return std::count(saved.begin(), saved.begin() + saved.find(text), '\n') + 1;
    };
    const auto at_line = [](long n) { return "state file line " + std::to_string(n); };
    const long end = std::count(saved.begin(), saved.end(), '\n') + 1;
    struct Case {
        const char* what;
        std::string from, to;  // `from` empty: `to` appended
        std::vector<std::string> problems;
        double fsb, cpu_temp_c;
    };
    // clang-format off
    const Case cases[] = {
        {"blanks around headers, keys and values", "[NFORCE2_PCI]\r\nconfig_address=",
         " \t[ NFORCE2_PCI ]  \r\n  config_address \t= ", {}, 167, kept},
        {"a line without '='", "[World]\r\n", "[World]\r\ncpu_temp_c 50\r\n",
         {at_line(line_of("[World]") + 1) + " not understood"}, 167, kept},
        {"a broken header and the entries under it", "[NFORCE2_PCI]", "[NFORCE2_PCI",
         {at_line(line_of("[NFORCE2_PCI]")) +
              " not understood, the entries after it up to the next section ignored",
          "NFORCE2_PCI: section missing, power-on values used"}, 166, kept},
        {"a key given twice", "", "[World]\r\ncpu_temp_c=50\r\n",
         {at_line(end + 1) + ": World cpu_temp_c given again, the earlier value ignored"}, 167, 50},
        {"an unknown key and section", "", "[World]\r\ncpu_tmp_c=50\r\n[Extra]\r\nx=1\r\n",
         {"World: unknown key cpu_tmp_c, ignored", "Extra: unknown section, ignored"}, 167, kept},
        {"an empty value", "cpu_temp_c=", "cpu_temp_c=\r\nold_cpu_temp_c=",
         {"World: cpu_temp_c missing or invalid, settled value used",
          "World: unknown key old_cpu_temp_c, ignored"}, 167, settled},
        {"another board's file", "profile=7", "profile=3",
         {"Machine: profile missing or invalid, profile 7 used"}, 167, kept},
        {"a fault count that is no number", "count=0", "count=x\r\nfault1=kept",
         {"Faults: count missing or invalid, the numbered faults loaded"}, 167, kept},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::string text = saved;
        if (c.from.empty())
            text += c.to;
        else
            text.replace(text.find(c.from), c.from.size(), c.to);
        SimMachine loaded(*sim_profile(7));
        SimLoadReport report;
        loaded.load_state_text(text, report);
        EXPECT_EQ(report.problems, c.problems) << c.what;
        EXPECT_DOUBLE_EQ(loaded.world().fsb_mhz, c.fsb) << c.what;
        EXPECT_DOUBLE_EQ(loaded.world().cpu_temp_c, c.cpu_temp_c) << c.what;
    }
    write_file("velmora-sim.ini", "[Machine]\r\nprofile=4294967303\r\n");
    EXPECT_EQ(sim_state_profile(), kSimStateWithoutProfile);
}

TEST_F(SimMachineTest, TheBoardSavesItselfAfterAChangeAtMostOnceASecond) {
    SimMachine& m = boot(7);
    const std::string path = "auto.ini";
    const auto fsb_in_file = [&] {
        SimMachine board(*sim_profile(7));
        SimLoadReport report;
        return sim_load_state(board, report, path) ? board.world().fsb_mhz : 0.0;
    };
    m.save_to(path);
    // Reads and index writes change nothing the file keeps.
    clock.advance(5000);
    smbus_read_byte(0, 0x37, 0x00);
    port_out8(0x4E, 0x295);
    port_out8(0x81, 0x296);  // the monitor's bank select
    port_out8(0x20, 0x295);
    port_in8(0x296);
    EXPECT_FALSE(file_exists(path));
    // The first change is saved at once, the next ones once a second has passed.
    pci_config_write(0, 0, 0, 0xA4, 0x00103508, 4);
    EXPECT_TRUE(file_exists(path));
    pci_config_write(0, 0, 0, 0xA8, 1, 1);
    clock.advance(150);
    pci_config_write(0, 0, 0, 0xA4, 0x00101403, 4);  // 167 MHz
    clock.advance(849);
    port_in8(0x80);
    EXPECT_DOUBLE_EQ(fsb_in_file(), 166.0);
    clock.advance(1);
    port_in8(0x80);
    EXPECT_DOUBLE_EQ(fsb_in_file(), 167.0);
    // A save in the middle of a burst of VID-chip writes leaves the burst open: up and back
    // within a second is still one peak.
    clock.advance(1000);
    smbus_write_byte(0, 0x37, 0x00, 0x27);
    clock.advance(100);
    smbus_write_byte(0, 0x37, 0x00, 0x28);
    m.close_write_bursts();
    EXPECT_EQ(m.world().faults.size(), 1u);
    clock.advance(1000);
    port_in8(0x80);
    EXPECT_NE(read_file(path).find("[Faults]\r\ncount=1\r\n"), std::string::npos);
    // Writing what is already there is no change.
    std::filesystem::remove(path);
    pci_config_write(0, 0, 0, 0xA4, 0x00101403, 4);
    clock.advance(2000);
    port_in8(0x80);
    EXPECT_FALSE(file_exists(path));
    // A file that cannot be written is said once while the saves keep failing.
    m.save_to("missing/auto.ini");
    for (uint8_t code : {0x27, 0x26, 0x27, 0x28}) {
        smbus_write_byte(0, 0x37, 0x00, code);
        clock.advance(1500);
        port_in8(0x80);
    }
    const std::string log = read_file("velmora.deb");
    const size_t said = log.find("SIM: Can't write missing/auto.ini: ");
    EXPECT_TRUE(said != std::string::npos && said == log.rfind("SIM: Can't")) << log;
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
    for (uint8_t code = 0x27; code >= 0x24; --code) {
        smbus_write_byte(0, 0x37, 0, code);
        clock.advance(100);
    }
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

TEST_F(SimMachineTest, TheCoreRailWatchFlagsPeaksAndLargeStepsButNotSmallSteps) {
    constexpr int P = -1;  // as a register: a second without writes
    struct Case {
        const char* what;
        int profile;
        std::vector<int> writes;  // register, value, register, value, ...
        double vcore;
        std::vector<std::string> faults;
    };
    // Epox (7): add-on bits 0x38 of register 0x0A, 0.05 V a choice; 0xFF is no add-on.
    const std::string peak = " in one burst of VID-chip writes";
    // clang-format off
    const Case cases[] = {
        {"code by code up, four codes down in one write", 7,
         {0, 0x27, 0, 0x26, 0, 0x25, 0, 0x24, 0, 0x23, 0, 0x22, 0, 0x21, 0, 0x20, P, 0,
          0, 0x24, 0, 0x28}, 1.65, {}},
        {"add-on raised before the VID is lowered", 7,
         {0x0A, 0xF7, 0x0A, 0xEF, 0x0A, 0xE7, 0x0A, 0xDF, 0x0A, 0xD7, 0x0A, 0xCF, 0x0A, 0xC7,
          0, 0x29, 0, 0x2A, 0, 0x2B, 0, 0x2C, 0, 0x2D}, 1.875,
         {"Vcore peaked at 2.000 V between 1.650 and 1.875 V" + peak}},
        {"VID lowered before the add-on is raised", 7,
         {0, 0x29, 0, 0x2A, 0, 0x2B, 0, 0x2C, 0, 0x2D,
          0x0A, 0xF7, 0x0A, 0xEF, 0x0A, 0xE7, 0x0A, 0xDF, 0x0A, 0xD7, 0x0A, 0xCF, 0x0A, 0xC7},
         1.875, {}},
        {"up and back within a second", 7, {0, 0x27, 0, 0x26, 0, 0x27, 0, 0x28}, 1.65,
         {"Vcore peaked at 1.700 V between 1.650 and 1.650 V" + peak}},
        {"up and back a second apart", 7, {0, 0x27, 0, 0x26, P, 0, 0, 0x27, 0, 0x28}, 1.65, {}},
        {"five codes in one write", 7, {0, 0x23}, 1.775,
         {"Vcore moved from 1.650 to 1.775 V in one write"}},
        {"the enable bit alone", 7, {0, 0x00, 0, 0x20}, 1.85,
         {"Vcore moved from 1.650 to 1.850 V in one write"}},
        {"the whole add-on in one write", 7, {0x0A, 0xC7}, 2.0,
         {"Vcore moved from 1.650 to 2.000 V in one write"}},
        {"an add-on choice skipped", 7, {0x0A, 0xEF}, 1.75,
         {"Vcore add-on moved from 0.000 to 0.100 V in one write, skipping a step"}},
        {"Abit's single 0.375 V add-on step", 0, {0x06, 0x07}, 2.025, {}},
        {"Shuttle's single 0.15 V add-on step", 11, {0x0A, 0xEE}, 1.80, {}},
        {"MS-3 code by code", 10, {0, 0x29, 0, 0x2A, 0, 0x08}, 1.65, {}},
        {"MS-3 eight codes in one write", 10, {0, 0x20}, 1.85,
         {"Vcore moved from 1.650 to 1.850 V in one write"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SimMachine& m = boot(c.profile);
        const SimProfile& p = m.profile();
        for (size_t i = 0; i + 1 < c.writes.size(); i += 2) {
            const int reg = c.writes[i], value = c.writes[i + 1];
            if (reg == P)
                clock.advance(1000);
            else
                ASSERT_EQ(smbus_write_byte(p.vid_bus, p.vid_address, reg, value), 0) << c.what;
            clock.advance(100);  // the regulator settles before the next write
        }
        m.close_write_bursts();
        EXPECT_NEAR(m.world().vcore, c.vcore, 1e-9) << c.what;
        EXPECT_EQ(m.world().faults, c.faults) << c.what;
    }
}

// Two users of one mechanism that cut into each other: one takes the other's answer (the harm
// of an SMBus read whose status comes after another transaction). Whole accesses, also
// failed ones and those of two hosts side by side, are no fault.
TEST_F(SimMachineTest, AnAccessThatCutsIntoAnotherIsAFault) {
    // The DFI board (4): ATXP1 (0x4E) and LM90 both on bus 1, SMI BIOS.
    const auto start = [](uint16_t base, uint8_t address, uint8_t command, uint8_t protocol) {
        port_out8(command, base + 3);
        port_out8(static_cast<uint8_t>(address << 1), base + 2);
        port_out8(protocol, base + 0);
    };
    struct Case {
        const char* what;
        std::function<void(VirtualClock&)> accesses;
        const char* fault;  // the start of the one fault recorded, or nullptr
    };
    const Case cases[] = {
        {"a read set up before the last read's status",
         [&](VirtualClock&) {
             start(0x5100, 0x4E, 0x0A, 0x07);
             start(0x5100, 0x4C, 0x00, 0x07);
             port_in8(0x5101);
             port_in8(0x5104);
         },
         "SMBUS1: a new transaction was set up before the status of the last one (device 0x4e, "
         "register 0x0a)"},
        {"a write set up between the last read's status and its data",
         [&](VirtualClock&) {
             start(0x5100, 0x4C, 0x00, 0x07);
             port_in8(0x5101);
             port_out8(0x0C, 0x5104);
         },
         "SMBUS1: a new transaction was set up before the data of the last one"},
        {"whole transactions, a failed one without its data, two hosts side by side",
         [&](VirtualClock&) {
             start(0x5100, 0x4E, 0x0A, 0x07);
             start(0x5000, 0x4C, 0x00, 0x07);
             port_in8(0x5101);
             port_in8(0x5104);
             port_in8(0x5001);  // nobody at 0x4C on bus 0: no data to read
             smbus_read_byte(1, 0x4C, 0x00);
         },
         nullptr},
        {"a PCI address before the data access of the last",
         [&](VirtualClock&) {
             port_out32(pci_config_address(0, 0, 0, 0xA4), 0xCF8);
             port_out32(pci_config_address(0, 0, 5, 0x48), 0xCF8);
             port_in32(0xCFC);
         },
         "PCI configuration address 0x80000548 written before the data access of 0x800000a4"},
        {"whole PCI accesses",
         [&](VirtualClock&) {
             uint32_t v = 0;
             pci_config_read(0, 0, 0, 0xA4, v, 4);
             pci_config_write(0, 0, 0, 0xA0, 0, 4);
             pci_config_read(0, 0, 5, 0x48, v, 4);
         },
         nullptr},
        {"an SMI request before the last answer was read",
         [&](VirtualClock&) {
             port_out8(0x01, 0x442F);
             port_out8(0xE1, 0x442E);
             port_out8(0x12, 0x442F);
             port_out8(0xE1, 0x442E);
         },
         "SMI request 0x12 raised before the answer to 0x01 was read"},
        {"two VID codes before the regulator settled",
         [&](VirtualClock&) {
             smbus_write_byte(1, 0x4E, 0x00, 0x27);
             smbus_write_byte(1, 0x4E, 0x00, 0x26);
         },
         "ATXP1 VID 0x26 written 50 ms after 0x27, before the regulator settled"},
        {"two VID codes with the regulator's pause between them",
         [&](VirtualClock& c) {
             smbus_write_byte(1, 0x4E, 0x00, 0x27);
             c.advance(50);
             smbus_write_byte(1, 0x4E, 0x00, 0x26);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SimMachine& m = boot(4);
        c.accesses(clock);
        m.close_write_bursts();
        if (!c.fault) {
            EXPECT_EQ(m.world().faults, std::vector<std::string>{}) << c.what;
            continue;
        }
        ASSERT_EQ(m.world().faults.size(), 1u) << c.what;
        EXPECT_EQ(m.world().faults[0].rfind(c.fault, 0), 0u)
            << c.what << ": " << m.world().faults[0];
    }
}

TEST_F(SimMachineTest, AVidChipThatStopsAcknowledgingFailsAndStaysSoAcrossTheStateFile) {
    SimMachine& m = boot(7);
    m.vid_chip()->fail_after(2);
    EXPECT_EQ(smbus_write_byte(0, 0x37, 0x00, 0x27), 0);
    EXPECT_EQ(smbus_read_byte(0, 0x37, 0x00), 0x27);
    EXPECT_EQ(smbus_write_byte(0, 0x37, 0x00, 0x26), 1);  // the third transaction
    EXPECT_EQ(port_in8(0x5001), 0x90);
    uint8_t value = 0;
    EXPECT_FALSE(smbus_read_byte_checked(0, 0x37, 0x00, value));
    EXPECT_DOUBLE_EQ(m.world().vcore, 1.675);

    const std::string text = m.state_text();
    EXPECT_NE(text.find("[ATXP1]\r\nregisters=27 "), std::string::npos);
    EXPECT_NE(text.find("acknowledge=0\r\n"), std::string::npos);
    SimMachine again(*sim_profile(7));
    SimLoadReport report;
    again.load_state_text(text, report);
    EXPECT_FALSE(again.vid_chip()->acknowledges());
    EXPECT_EQ(again.state_text(), text);

    // A file from before the key, with a VID register the BIOS left unprogrammed: the chip
    // acknowledges and the rail follows the CPU's pins, all without a problem or a fault.
    std::string older = text;
    for (size_t at; (at = older.find("acknowledge=")) != std::string::npos;)
        older.erase(at, older.find('\n', at) + 1 - at);
    older.replace(older.find("registers=27 "), 13, "registers=08 ");
    again.load_state_text(older, report);
    EXPECT_TRUE(again.vid_chip()->acknowledges());
    EXPECT_DOUBLE_EQ(again.world().vcore, 1.65);
    EXPECT_EQ(report.problems, std::vector<std::string>{});
    EXPECT_TRUE(again.world().faults.empty());
}

// VID code 11111 is "no CPU" to the regulator: the rail goes to 0 V and the PC stops, answering
// no port, also after a restart from its state file, until a power cycle.
TEST_F(SimMachineTest, VidCode31SwitchesTheRegulatorOffAndThePcStaysStopped) {
    SimMachine& m = boot(7);
    EXPECT_EQ(smbus_write_byte(0, 0x37, 0x00, 0x3F), 1);  // the host's status reads floating
    EXPECT_DOUBLE_EQ(m.world().vcore, 0.0);
    EXPECT_EQ(
        m.world().faults,
        std::vector<std::string>{"VID code 11111 switched the core regulator off: the PC stopped"});
    EXPECT_EQ(port_in8(0x80), 0xFF);
    uint32_t id = 0;
    pci_config_read(0, 0, 0, 0x00, id, 4);
    EXPECT_EQ(id, 0xFFFFFFFFu);

    SimMachine again(*sim_profile(7));
    SimLoadReport report;
    again.load_state_text(m.state_text(), report);
    EXPECT_TRUE(again.world().stopped);
    again.power_on();
    EXPECT_FALSE(again.world().stopped);
    EXPECT_DOUBLE_EQ(again.world().vcore, 1.65);
}

TEST_F(SimMachineTest, TheBystandersAnswerReadsAndEveryWriteToThemIsAFault) {
    SimMachine& m = boot(7);
    for (uint8_t spd : {0x50, 0x51, 0x52, 0x53}) {
        EXPECT_EQ(smbus_read_byte(0, spd, 0x00), 0x80) << int(spd);
        EXPECT_EQ(smbus_read_byte(0, spd, 0x01), 0x08) << int(spd);
        EXPECT_EQ(smbus_read_byte(0, spd, 0x02), 0x07) << int(spd);  // DDR SDRAM
    }
    uint8_t sum = 0;
    for (uint8_t i = 0; i < 63; ++i)
        sum = static_cast<uint8_t>(sum + smbus_read_byte(0, 0x50, i));
    EXPECT_EQ(smbus_read_byte(0, 0x50, 63), sum);
    const uint8_t clock_byte = smbus_read_byte(0, 0x69, 0x00);
    EXPECT_NE(clock_byte, 0x00);
    EXPECT_NE(clock_byte, 0xFF);
    EXPECT_TRUE(m.world().faults.empty());

    EXPECT_EQ(smbus_write_byte(0, 0x50, 0x00, 0x12), 0);
    EXPECT_EQ(smbus_write_byte(0, 0x53, 0x12, 0x00), 0);
    EXPECT_EQ(smbus_write_byte(0, 0x69, 0x00, 0x00), 0);
    EXPECT_EQ(m.world().faults,
              (std::vector<std::string>{"write to SPD EEPROM 0x50 register 0x00",
                                        "write to SPD EEPROM 0x53 register 0x12",
                                        "write to the clock generator 0x69 register 0x00"}));
    EXPECT_EQ(smbus_read_byte(0, 0x50, 0x00), 0x80);
    EXPECT_EQ(smbus_read_byte(0, 0x69, 0x00), clock_byte);
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
