// SPDX-License-Identifier: GPL-2.0-or-later
// config.ini: defaults, load rules and the save of every key in its place.
#include "app/main_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "helpers/temp_dir.h"
#include "support/configfile.h"

namespace {

class MainSettingsTest : public ::testing::Test {
  protected:
    MainSettingsTest() { configfile_reset(); }
    MainSettings load_with_rules(int32_t current_fsb = 166) {
        MainSettings s;
        load_main_settings(s);
        apply_load_rules(s, [&] {
            ++fsb_reads;
            return current_fsb;
        });
        return s;
    }

    TempWorkDir dir;
    int fsb_reads = 0;
};

TEST_F(MainSettingsTest, WithoutAFileEverySettingHasItsDefault) {
    const MainSettings s = load_with_rules();
    EXPECT_EQ(s.max_fsb, 166);
    EXPECT_EQ(s.min_fsb, 166);
    EXPECT_EQ(s.max_load, 90);
    EXPECT_EQ(s.min_load, 10);
    EXPECT_EQ(s.max_delay, 15);
    EXPECT_EQ(s.min_delay, 30);
    EXPECT_EQ(s.max_temp, 45);
    EXPECT_EQ(s.down_mt, 1);
    EXPECT_EQ(s.update, 5);
    EXPECT_EQ(s.load_update, 5);
    EXPECT_EQ(fsb_reads, 0);
}

TEST_F(MainSettingsTest, LoadRulesRepairWhatIsOutOfRangeInTheirOrder) {
    write_file("config.ini",
               "\r\n[Main]\r\nLoadUpdate=0\r\n\r\n[AutoFSB]\r\nMaxFSB=400\r\nMinFSB=100\r\n"
               "MaxLoad=20\r\nMinLoad=95\r\nMaxDelay=91\r\nMinDelay=4\r\nMaxTemp=19\r\n"
               "DelayChange=500\r\n\r\n[Sensor]\r\nUpdate=61\r\nPort80Type=7\r\n");
    MainSettings s = load_with_rules(180);
    EXPECT_EQ(s.load_update, 5);
    EXPECT_EQ(s.max_fsb, 180);  // out of range: the current FSB
    EXPECT_EQ(s.min_fsb, 100);
    EXPECT_EQ(s.max_load, 20);  // inside the rule's range, whatever the spin edit shows
    EXPECT_EQ(s.min_load, 10);
    EXPECT_EQ(s.max_delay, 15);
    EXPECT_EQ(s.min_delay, 30);
    EXPECT_EQ(s.max_temp, 45);
    EXPECT_EQ(s.delay_change, 0);  // not one the list offers
    EXPECT_EQ(s.update, 61);       // validated where it is shown and used
    EXPECT_EQ(validated_update(s.update), 5);
    // Each replacement is said once.
    const std::string log = read_file("velmora.deb");
    for (const char* said : {"LoadUpdate=0 in config.ini out of range 1 to 60, 5 taken\n",
                             "MaxFSB=400 in config.ini out of range 50 to 300, 180 taken\n",
                             "MinLoad=95 in config.ini out of range 5 to 90, 10 taken\n",
                             "MaxDelay=91 in config.ini out of range 5 to 90, 15 taken\n",
                             "MinDelay=4 in config.ini out of range 5 to 90, 30 taken\n",
                             "MaxTemp=19 in config.ini out of range 20 to 65, 45 taken\n"})
        EXPECT_EQ(log.find(std::string("VELMORA: ") + said), log.rfind(said) - 9) << said;
    EXPECT_EQ(log.find("MaxLoad"), std::string::npos);

    // The current FSB below the minimum, or crossed limits: both become the current FSB.
    write_file("config.ini", "\r\n[AutoFSB]\r\nMaxFSB=400\r\nMinFSB=100\r\n");
    s = load_with_rules(90);
    EXPECT_EQ(s.max_fsb, 90);
    EXPECT_EQ(s.min_fsb, 90);
    write_file("config.ini", "\r\n[AutoFSB]\r\nMaxFSB=150\r\nMinFSB=180\r\n");
    s = load_with_rules(166);
    EXPECT_EQ(s.max_fsb, 166);
    EXPECT_EQ(s.min_fsb, 166);
    EXPECT_NE(read_file("velmora.deb")
                  .find("VELMORA: MaxFSB=150 below MinFSB=180 in config.ini, both 166 taken\n"),
              std::string::npos);
}

// Each ranged key takes both ends of its range; one past either end gets its replacement.
TEST_F(MainSettingsTest, EachRangeTakesBothEndsAndReplacesOnePastThem) {
    const struct {
        const char* section;
        const char* key;
        int32_t MainSettings::*value;
        int32_t low, high, replacement;
        const char* beside = "";  // keeps the FSB limits from crossing
    } keys[] = {
        {"Main", "LoadUpdate", &MainSettings::load_update, 1, 60, 5},
        {"AutoFSB", "MinFSB", &MainSettings::min_fsb, 50, 300, 170, "MaxFSB=300\r\n"},
        {"AutoFSB", "MaxFSB", &MainSettings::max_fsb, 50, 300, 170, "MinFSB=50\r\n"},
        {"AutoFSB", "MaxLoad", &MainSettings::max_load, 10, 95, 90},
        {"AutoFSB", "MinLoad", &MainSettings::min_load, 5, 90, 10},
        {"AutoFSB", "MaxDelay", &MainSettings::max_delay, 5, 90, 15},
        {"AutoFSB", "MinDelay", &MainSettings::min_delay, 5, 90, 30},
        {"AutoFSB", "MaxTemp", &MainSettings::max_temp, 20, 65, 45},
        {"Alarms", "CpuLimit", &MainSettings::cpu_limit, 0, 127, 0},
        {"Alarms", "SysLimit", &MainSettings::sys_limit, 0, 127, 0},
    };
    for (const auto& k : keys) {  // 170: the current FSB, which replaces an FSB limit
        for (const auto& [stored, taken] : {std::pair{k.low, k.low},
                                            {k.high, k.high},
                                            {k.low - 1, k.replacement},
                                            {k.high + 1, k.replacement}}) {
            configfile_reset();
            write_file("config.ini", std::string("\r\n[") + k.section + "]\r\n" + k.key + "=" +
                                         std::to_string(stored) + "\r\n" + k.beside);
            EXPECT_EQ(load_with_rules(170).*k.value, taken) << k.key << "=" << stored;
        }
    }
    EXPECT_EQ(validated_update(0), 0);
    EXPECT_EQ(validated_update(60), 60);
    EXPECT_EQ(validated_update(-1), 5);
    EXPECT_EQ(validated_update(61), 5);
}

// The step delay of an AutoFSB run is one of the three the list offers; any other number
// (2147483647 ms once slept the window for 24.8 days) becomes "Fast", with a line in the log.
TEST_F(MainSettingsTest, DelayChangeIsOneOfTheListsThreeDelays) {
    for (const auto& [stored, taken] :
         {std::pair{0, 0}, {1000, 1000}, {2500, 2500}, {500, 0}, {2147483647, 0}, {-1000, 0}}) {
        std::remove("velmora.deb");
        write_file("config.ini", "\r\n[AutoFSB]\r\nDelayChange=" + std::to_string(stored) + "\r\n");
        EXPECT_EQ(load_with_rules().delay_change, taken) << stored;
        const std::string line = "VELMORA: DelayChange " + std::to_string(stored) +
                                 " in config.ini is not 0, 1000 or 2500, 0 (Fast) taken\n";
        EXPECT_EQ(read_file("velmora.deb").find(line) != std::string::npos, stored != taken)
            << stored;
    }
}

// A value that is no whole number is not cut down to one: the key keeps its default, and the
// log says so.
TEST_F(MainSettingsTest, AValueThatIsNoWholeNumberLeavesTheDefault) {
    write_file("config.ini",
               "\r\n[Main]\r\nReset=1e300\r\nLoadUpdate= 7 \r\nMinimized=nan\r\n"
               "\r\n[AutoFSB]\r\nMaxFSB=12abc\r\nMinFSB=-3000000000\r\nMaxLoad=+80\r\n");
    const MainSettings s = load_with_rules(170);
    EXPECT_EQ(s.reset, MainSettings{}.reset);
    EXPECT_EQ(s.minimized, MainSettings{}.minimized);
    EXPECT_EQ(s.load_update, 7);
    EXPECT_EQ(s.max_fsb, MainSettings{}.max_fsb);  // not 12, which the rules would replace
    EXPECT_EQ(s.min_fsb, MainSettings{}.min_fsb);
    EXPECT_EQ(s.max_load, 80);
    const std::string log = read_file("velmora.deb");
    for (const char* line :
         {"VELMORA: Reset=1e300 in [Main] of config.ini is not a whole number, not taken\n",
          "VELMORA: Minimized=nan in [Main] of config.ini is not a whole number, not taken\n",
          "VELMORA: MaxFSB=12abc in [AutoFSB] of config.ini is not a whole number, not taken\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

TEST_F(MainSettingsTest, ASaveFromNothingHasTheFixedLayoutAndLaterSavesKeepIt) {
    SavedSettings saved;
    saved.board = 7;
    load_main_settings(saved.main);
    saved.agp_aperture = 4;
    saved.pci_bus_latency = saved.agp_bus_latency = saved.agp_ctr_latency = 32;
    save_main_settings(saved);
    const std::string golden_text = golden("config_defaults_saved_from_nothing.ini");
    EXPECT_EQ(read_file("config.ini"), golden_text);

    // A second save rewrites each value in its place.
    saved.main.max_temp = 55;
    saved.agp_aperture = 200;
    save_main_settings(saved);
    std::string expected = golden_text;
    expected.replace(expected.find("MaxTemp=45"), 10, "MaxTemp=55");
    expected.replace(expected.find("AGPAP=4"), 7, "AGPAP=200");
    EXPECT_EQ(read_file("config.ini"), expected);

    MainSettings back;
    load_main_settings(back);
    EXPECT_EQ(back.max_temp, 55);
}

}  // namespace
