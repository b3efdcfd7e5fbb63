// SPDX-License-Identifier: GPL-2.0-or-later
// The built program, started in a fresh working directory as a user or a start-up script
// would start it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/fsb.h"
#include "e2e/program.h"
#include "helpers/fake_kernel_tree.h"
#include "helpers/temp_dir.h"
#include "platform/linux_platform.h"
#include "sim/post_display.h"
#include "sim/sim_machine.h"
#include "sim/sim_profile.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// The log of a start on the default simulated board; `missing_config` when there is no
// config.ini yet, whose every read then says so.
std::string startup_log(bool missing_config) {
    // Each of the 18 keys asked for says so; the same line in a row is written once and counted.
    const std::string stat_lines =
        missing_config ? "CONFIGFILE: Can't stat config.ini\nCONFIGFILE: ... 17 more times\n" : "";
    const std::string autofan_stat_lines =
        "CONFIGFILE: Can't stat autofan.ini\nCONFIGFILE: ... 11 more times\n";
    // Root gives up its capabilities before the window, keeping those its files need.
    const std::string dropped =
        geteuid() == 0
            ? "VELMORA: Capabilities dropped, kept: CAP_CHOWN CAP_DAC_OVERRIDE CAP_FOWNER\n"
            : "";
    return "===============================================\n"
           "VELMORA: Version velmora 0.8.7-dev\n"
           "VELMORA: Linux detected\n" +
           dropped +
           "VELMORA: Simulated board: Epox 8RDA+ Rev. 2.x (profile 7), state in velmora-sim.ini\n"
           "BOARDS: Initialized 15 boards\n"
           "SMI: Function code: 0xe1\n"
           "SMI: Interface version 0x100\n"
           "SMI: Board vendor: Epox, version 0x00\n"
           "SMI: Board name: EP-8RDA+\n"
           "VELMORA: SMI interface available\n" +
           stat_lines + "VELMORA: Board Epox 8RDA+ Rev. 2.x nr: 7\n" +
           // Without a map of the user's own, the one shipped beside the program.
           (missing_config ? "CONFIGFILE: Can't stat sensor.ini\n"
                             "SENSOR: Map for board 7 not found in sensor.ini\n"
                             "VELMORA: Loaded sensor definitions from sensormap.ini\n"
                           : "VELMORA: Loaded sensor definitions from sensor.ini\n") +
           "VELMORA: Getting ATXP1-registers\n"
           "VELMORA: ATXP1: 28,07,ff,00\n"
           "PRESETS: Can't open presets.ini for read\n"  // no presets saved yet
           "VELMORA: Parsing command-line options\n"
           "VELMORA: Trayicon not available\n"
           "WINBOND: Found a W83627HF\n"
           "ITE: Unknown CHIPID 21\n"
           "PORT80: Initialized\n"
           "SMI: Function code: 0xe1\n"
           "SMI: Interface version 0x100\n"
           "SMI: Board vendor: Epox, version 0x00\n"
           "SMI: Board name: EP-8RDA+\n"
           "SMI: Invalid function: 0x12\n"
           "SMI: Invalid function: 0x13\n"
           "SMI: Invalid function: 0x24\n"
           "SMI: Invalid function: 0x02\n"
           "SMI: Invalid function: 0x06\n"
           "SMI: Invalid function: 0x03\n"
           "SMI: Invalid function: 0x07\n"
           "SENSOR: Found 3 sensor(s)\n"
           "AUTOFAN: Found fan control 0\n"
           "AUTOFAN: Found fan control 1\n" +
           // No autofan.ini: each of the six keys of both fan controls is looked for.
           autofan_stat_lines +
           "AUTOFAN: Loaded 0 settings\n"
           "CPULOAD: thread created, id: *, update: 5000\n" +
           // Last, whether the stored chipset options are to be set.
           std::string(missing_config ? "CONFIGFILE: Can't stat config.ini\n" : "");
}

// The log with each sampler thread's id (different in every run) shown as "*".
std::string masked_thread_ids(std::string log) {
    for (size_t at = log.find(kStarted); at != std::string::npos; at = log.find(kStarted, at + 1)) {
        const size_t from = at + kStarted.size();
        const size_t to = log.find(',', from);
        if (to != std::string::npos)
            log.replace(from, to - from, "*");
    }
    return log;
}

const std::vector<std::string> kOffscreen = environment_with({"QT_QPA_PLATFORM=offscreen"});

// Starts velmora offscreen with the options, waits until this start is done, lets it run `more`
// longer and closes it with SIGTERM, which it ends with 0.
void start_and_close_with(const std::vector<std::string>& options,
                          std::chrono::milliseconds more = {}) {
    std::vector<std::string> args = {VELMORA_BINARY};
    args.insert(args.end(), options.begin(), options.end());
    const size_t earlier = count_of(read_file("velmora.deb"), kStarted);
    Child velmora(args, kOffscreen);
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted, earlier + 1)) << read_file("stderr.txt");
    std::this_thread::sleep_for(more);
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
}

// The simulated board of the profile as the state file in the working directory keeps it;
// null when the file cannot be read.
std::unique_ptr<SimMachine> stored_board(int profile) {
    auto board = std::make_unique<SimMachine>(*sim_profile(profile));
    SimLoadReport report;
    return sim_load_state(*board, report) ? std::move(board) : nullptr;
}

TEST(Program, StartsOnTheSimulatedBoardAndSavesItsSettingsOnceOnSigterm) {
    TempWorkDir dir;
    std::string log;
    for (int run = 1; run <= 2; ++run) {
        ASSERT_NO_FATAL_FAILURE(start_and_close_with({"--unattended"}));
        // The first close creates config.ini: its first write finds no file.
        log += startup_log(run == 1) +
               (run == 1 ? "CONFIGFILE: ... 1 more time\nCONFIGFILE: Can't stat sensor.ini\n" : "");
        EXPECT_EQ(masked_thread_ids(read_file("velmora.deb")), log) << "run " << run;
        EXPECT_EQ(read_file("config.ini"), golden("config_first_close_on_default_board.ini"));
    }
}

TEST(Program, CommandLineSettingsAreAppliedWithoutAWindowOrASave) {
    TempWorkDir dir;
    Child velmora({VELMORA_BINARY, "-s", "1.70", "-f", "170"}, kOffscreen);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
    const std::string log = read_file("velmora.deb");
    EXPECT_NE(log.find("VELMORA: Parsing command-line options\nVELMORA: command-line option -s "
                       "1.700\nVELMORA: command-line option -f 170\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("NFORCE2: set_fsb(): Setting FSB to 170 done\n"), std::string::npos) << log;
    EXPECT_FALSE(file_exists("config.ini"));
    // The simulated board keeps what the run set: the next start reads the new VID.
    const std::string state = read_file("velmora-sim.ini");
    EXPECT_NE(state.find("00:00.0/0xa8=0x01"), std::string::npos) << state;
    EXPECT_NE(state.find("[Faults]\r\ncount=0\r\n"), std::string::npos) << state;
    ASSERT_NO_FATAL_FAILURE(start_and_close_with({"--unattended"}));
    EXPECT_NE(read_file("velmora.deb").find("VELMORA: ATXP1: 26,07,ff,00\n"), std::string::npos);
}

// 1.075 V is VID code 11111, which switches a Socket A board's core regulator off: asked first,
// and an unattended run answers No, writes nothing and ends with 3.
TEST(Program, ACommandLineValueThatIsNotSetEndsWithCode3AndSaysWhyOnStandardError) {
    const struct {
        std::vector<std::string> options;
        std::string why;
    } cases[] = {
        {{"-s", "0.5"}, "ERROR: velmora -> Invalid VCore.\n"},
        {{"-f", "400"}, "FSB setting failed, try another value.\n"},
        {{"-s", "2.5", "-f", "200"},
         "ERROR: velmora -> Invalid VCore.\nFSB not raised: the core voltage was not set.\n"},
        {{"-f", "170", "-q", "257"}, "Tras 257 is out of range (1 to 31), nothing applied.\n"},
        {{"--sim=7", "--unattended", "-s", "1.075"}, "ERROR: velmora -> Invalid VCore.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        TempWorkDir dir;
        std::vector<std::string> args = {VELMORA_BINARY};
        args.insert(args.end(), c.options.begin(), c.options.end());
        Child velmora(args, kOffscreen);
        EXPECT_EQ(velmora.wait(), 3);
        EXPECT_NE(read_file("stderr.txt").find(c.why), std::string::npos)
            << read_file("stderr.txt");
        // The board runs on at its core voltage.
        const auto board = stored_board(7);
        ASSERT_NE(board, nullptr);
        EXPECT_FALSE(board->world().stopped);
        EXPECT_DOUBLE_EQ(board->world().vcore, 1.65);
        EXPECT_TRUE(board->world().faults.empty());
    }
}

// A value that is no number in its option's form ends the run with 2 before anything is set:
// before, "-s 1.8.5" set 1.800 V and "-f 200abc" 200 MHz. An unknown profile ends it with 2
// before the log or the board's state file is made.
TEST(Program, ACommandLineValueThatIsNoNumberOrNoProfileEndsWithCode2AndSetsNothing) {
    const struct {
        std::vector<std::string> options;
        std::string said;
    } cases[] = {
        {{"--sim=7", "-s", "1.8.5"}, "velmora: -s 1.8.5: not a"},
        {{"--sim=7", "-s", "1.70abc"}, "velmora: -s 1.70abc: not a"},
        {{"--sim=7", "-f", "200abc"}, "velmora: -f 200abc: not a"},
        {{"--sim=7", "-f", "170", "-s", "1.60x"}, "velmora: -s 1.60x: not a"},
        {{"--sim=7", "-f", "166.6"}, "velmora: -f 166.6: not a"},
        {{"--unattended", "--sim=99"}, "there is no simulated board \"99\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        TempWorkDir dir;
        std::vector<std::string> args = {VELMORA_BINARY};
        args.insert(args.end(), c.options.begin(), c.options.end());
        Child velmora(args, kOffscreen);
        EXPECT_EQ(velmora.wait(), 2);
        EXPECT_NE(read_file("stderr.txt").find(c.said), std::string::npos)
            << read_file("stderr.txt");
        const std::string log = read_file("velmora.deb");
        EXPECT_EQ(log.find("set_fsb"), std::string::npos) << log;
        EXPECT_EQ(log.find("Setting Vcore"), std::string::npos) << log;
        EXPECT_EQ(log.find("writing"), std::string::npos) << log;
        if (c.options[1] == "--sim=99") {
            EXPECT_FALSE(file_exists("velmora.deb"));
            EXPECT_FALSE(file_exists("velmora-sim.ini"));
        }
    }
}

// An LM90 that stops answering in the middle of a run: the program goes on reading the rest,
// the CPU item keeps its last reading, and the run ends as usual.
TEST(Program, AnLm90LostInTheMiddleOfARunLeavesTheProgramRunning) {
    TempWorkDir dir;
    {
        SimMachine board(*sim_profile(4));
        board.lm90()->fail_after(12);
        ASSERT_TRUE(sim_save_state(board));
    }
    write_file("config.ini", "\r\n[Main]\r\nBoard=4\r\n\r\n[Sensor]\r\nUpdate=1\r\n");
    ASSERT_NO_FATAL_FAILURE(start_and_close_with({"--sim=4", "--unattended"}, 4s));
    const auto after = stored_board(4);
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(after->lm90()->acknowledges());
    EXPECT_TRUE(after->world().faults.empty());
}

// An IT8712F whose BIOS left its fan control broken: AutoFAN on and an entry enabled, yet
// nothing reaches 0x13-0x17 during the run or at its close, and the log says why.
TEST(Program, ABrokenIteFanControlIsNeverWritten) {
    TempWorkDir dir;
    auto fan_registers = [](SimMachine& board) {
        std::vector<int> r;
        for (uint8_t reg = 0x13; reg <= 0x17; ++reg) {
            board.out8(0x295, reg);
            r.push_back(board.in8(0x296));
        }
        return r;
    };
    std::vector<int> before;
    {
        SimMachine board(*sim_profile(1));
        board.out8(0x295, 0x14);
        board.out8(0x296, 0x70);  // fans off in on/off mode, polarity active low
        before = fan_registers(board);
        ASSERT_TRUE(sim_save_state(board));
    }
    write_file("config.ini",
               "\r\n[Main]\r\nBoard=1\r\n\r\n[Sensor]\r\nUpdate=1\r\n\r\n"
               "[AutoFAN]\r\nEnable=1\r\n");
    write_file("autofan.ini", "\r\n[ID2.0]\r\nenabled=1\r\nduty_min=255\r\nduty_max=255\r\n");
    ASSERT_NO_FATAL_FAILURE(start_and_close_with({"--sim=1", "--unattended"}, 3s));
    EXPECT_NE(read_file("velmora.deb")
                  .find("ITE: Broken BIOS defaults in the fan control, no fan control offered\n"),
              std::string::npos);
    const auto after = stored_board(1);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(fan_registers(*after), before);
    EXPECT_TRUE(after->world().faults.empty());
}

TEST(Program, SigintStopsACommandLineFsbWalkAtAWholeStepAndEndsWithCode130) {
    TempWorkDir dir;
    Child velmora({VELMORA_BINARY, "--sim=7", "-f", "300"}, kOffscreen);
    ASSERT_TRUE(wait_for_text("velmora.deb", "VELMORA: command-line option -f 300\n"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    velmora.signal(SIGINT);
    EXPECT_EQ(velmora.wait(5), 130) << read_file("stderr.txt");

    const std::string log = read_file("velmora.deb");
    const std::string stopped = "NFORCE2: set_fsb(): stopped at ";
    const size_t at = log.find(stopped);
    ASSERT_NE(at, std::string::npos) << log;
    const int reached = std::stoi(log.substr(at + stopped.size()));
    EXPECT_GT(reached, 166);
    EXPECT_LT(reached, 300);
    EXPECT_NE(read_file("stderr.txt")
                  .find("FSB setting stopped at " + std::to_string(reached) + " MHz.\n"),
              std::string::npos);
    // The state saved at the end holds the PLL value of that step.
    const std::string state = read_file("velmora-sim.ini");
    const std::string key = "00:00.0/0xa4=";
    const size_t pll_at = state.find(key);
    ASSERT_NE(pll_at, std::string::npos) << state;
    const uint32_t pll = std::stoul(state.substr(pll_at + key.size()), nullptr, 16);
    EXPECT_EQ(pll_to_fsb((pll >> 8) & 0xFF, pll & 0xFF), reached);
}

// A run that dies of SIGQUIT, abort or an uncaught exception leaves the fans AutoFAN drove
// at full speed, on a Winbond board and on an ITE one, through the ports and through the
// kernel's drivers (where the pwm files were opened beforehand).
TEST(Program, ADyingRunLeavesAutoFansFansAtFullSpeed) {
    const struct {
        int profile;
        const char* entry;
        const char* driven;
        int fan;  // the fan that entry drives
    } boards[] = {
        {7, "[ID1.0]", "AUTOFAN: New speed for fan control 1 is 60\n", 0},
        {1, "[ID2.0]", "AUTOFAN: New speed for fan control 2 is 60\n", 0},
    };
    for (const auto& b : boards)
        for (bool through_kernel : {false, true}) {
            SCOPED_TRACE(std::to_string(b.profile) + (through_kernel ? " through the kernel" : ""));
            TempWorkDir dir;
            const std::string profile = std::to_string(b.profile);
            FakeKernelTree tree("root");
            std::vector<std::string> env = kOffscreen;
            if (through_kernel) {
                SimMachine board(*sim_profile(b.profile));
                tree.bind_drivers_of(board);
                env.push_back("VELMORA_TEST_KERNEL_ROOT=" + tree.root.string());
            }
            write_file("config.ini", "\r\n[Main]\r\nBoard=" + profile +
                                         "\r\n\r\n[Sensor]\r\nUpdate=1\r\n\r\n"
                                         "[AutoFAN]\r\nEnable=1\r\n");
            write_file("autofan.ini", "\r\n" + std::string(b.entry) +
                                          "\r\nenabled=1\r\nduty_min=60\r\nduty_max=60\r\n");
            Child velmora({VELMORA_BINARY, "--sim=" + profile, "--unattended"}, env);
            ASSERT_TRUE(wait_for_text("velmora.deb", b.driven));
            EXPECT_EQ(count_of(read_file("velmora.deb"), "through /sys/class/hwmon/"),
                      through_kernel ? 1u : 0u);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            velmora.signal(SIGQUIT);
            EXPECT_EQ(velmora.wait(10), 128 + SIGQUIT) << read_file("stderr.txt");

            const auto board = stored_board(b.profile);
            ASSERT_NE(board, nullptr);
            EXPECT_EQ(board->world().fan_duty[b.fan], 255);
            EXPECT_TRUE(board->world().faults.empty());
        }
}

TEST(Program, AsRootItGivesUpItsCapabilitiesAndLoadsNoPluginsFromTheEnvironment) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempWorkDir dir;
    Child velmora({VELMORA_BINARY, "--unattended"},
                  environment_with({"QT_QPA_PLATFORM=offscreen", "QT_PLUGIN_PATH=plugins"}));
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted));
    const std::string status = read_file("/proc/" + std::to_string(velmora.pid()) + "/status");
    EXPECT_NE(status.find("CapEff:\t000000000000000b\n"), std::string::npos) << status;
    EXPECT_NE(status.find("CapBnd:\t000000000000000b\n"), std::string::npos) << status;
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(), 0);
    EXPECT_NE(
        read_file("stderr.txt").find("velmora: running privileged, Qt plugin paths ignored\n"),
        std::string::npos);
}

TEST(Program, ASettingWithoutItsValueShowsTheUsageAndOpensTheWindow) {
    TempWorkDir dir;
    ASSERT_NO_FATAL_FAILURE(start_and_close_with({"-s", "1.6", "-r"}));
    EXPECT_NE(read_file("stderr.txt").find("velmora: -r [VDIMM]\n"), std::string::npos);
    const std::string log = read_file("velmora.deb");
    EXPECT_NE(log.find("VELMORA: command-line option -s 1.600\n"), std::string::npos);
    EXPECT_EQ(log.find("set_vcore"), std::string::npos);  // nothing applied
    EXPECT_EQ(log.find("Setting VCore"), std::string::npos);
    EXPECT_TRUE(file_exists("config.ini"));  // a normal close saves
}
TEST(Program, TheSimulatedBoardKeepsItsProfileAndStateAcrossRuns) {
    TempWorkDir dir;
    ASSERT_NO_FATAL_FAILURE(start_and_close_with({"--unattended", "--sim=3"}));
    const std::string state = read_file("velmora-sim.ini");
    EXPECT_EQ(state.rfind("[Machine]\r\nprofile=3\r\nboard=Chaintech CT-7NJL1/CT-7NJS\r\n", 0), 0u)
        << state;
    // The file is the board in the machine: asking for another profile does not swap it.
    ASSERT_NO_FATAL_FAILURE(start_and_close_with({"--unattended", "--sim"}));
    const std::string log = read_file("velmora.deb");
    EXPECT_NE(log.find("SIM: velmora-sim.ini holds profile 3; delete it to start on profile 7\n"
                       "VELMORA: Simulated board: Chaintech CT-7NJL1/CT-7NJS (profile 3), state "
                       "in velmora-sim.ini\n"),
              std::string::npos)
        << log;
}

// What the sensor detection logs on a profile's board, from its first line to its last.
std::vector<std::string> sensor_lines(const SimProfile& p) {
    std::vector<std::string> lines;
    switch (p.monitor) {
        case SimMonitorChip::W83627HF:
            lines = {"WINBOND: Found a W83627HF\n", "ITE: Unknown CHIPID 21\n"};
            break;
        case SimMonitorChip::W83782D:
            lines = {"WINBOND: Found a W83782D\n", "ITE: Unknown CHIPID 30\n"};
            break;
        case SimMonitorChip::IT8712F:
            lines = {"ITE: Found a ITE8712\n"};
            break;
        case SimMonitorChip::None:
            lines = {"ITE: Unknown CHIPID ff\n"};
            break;
    }
    lines.push_back("PORT80: Initialized\n");
    if (p.lm90_bus >= 0)
        lines.push_back("on Bus " + std::to_string(p.lm90_bus) + "\n");
    if (p.has_smi)
        lines.push_back("SMI: Board name: " + std::string(p.bios_board) + "\n");
    const int found = (p.monitor != SimMonitorChip::None) + 1 + (p.lm90_bus >= 0) + p.has_smi;
    lines.push_back("SENSOR: Found " + std::to_string(found) + " sensor(s)\n");
    return lines;
}

// A fresh start on each profile: the BIOS names the board, the board's chips are found, and
// the close keeps the map, shows FF and leaves the fans at full speed.
TEST(Program, EveryProfileIsIdentifiedAndShowsItsOwnSensors) {
    for (int n = 0; n < kSimProfileCount; ++n) {
        TempWorkDir dir;
        const SimProfile& profile = *sim_profile(n);
        const std::string number = std::to_string(n);
        SCOPED_TRACE(n);
        ASSERT_NO_FATAL_FAILURE(start_and_close_with({"--unattended", "--sim=" + number}));
        const std::string log = read_file("velmora.deb");
        EXPECT_NE(log.find("VELMORA: Board " + std::string(profile.name) + " nr: " + number +
                           "\nCONFIGFILE: Can't stat sensor.ini\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("VELMORA: Loaded sensor definitions from sensormap.ini\n"),
                  std::string::npos);
        size_t at = log.find("VELMORA: Trayicon not available\n");
        for (const std::string& line : sensor_lines(profile)) {
            const size_t next = log.find(line, at);
            ASSERT_NE(next, std::string::npos) << n << ": " << line << log;
            at = next;
        }
        EXPECT_EQ(log.find("SIM: "), std::string::npos) << log;
        EXPECT_EQ(read_file("sensor.ini").rfind("\r\n[Sensormap]\r\n" + number + "=", 0), 0u);

        const auto board = stored_board(n);
        ASSERT_NE(board, nullptr);
        EXPECT_EQ(board->port80().last(), 0xFF);
        // An ITE that AutoFAN never drove keeps its own automatic control, which runs them.
        for (int fan = 0; fan < SimWorld::kFans; ++fan) {
            if (profile.monitor == SimMonitorChip::IT8712F)
                EXPECT_GT(board->world().fan_duty[fan], 100) << "fan " << fan;
            else
                EXPECT_EQ(board->world().fan_duty[fan], 255) << "fan " << fan;
        }
        EXPECT_TRUE(board->world().faults.empty());
    }
}

TEST(Program, ADamagedStateFileIsReportedAfterTheBanner) {
    TempWorkDir dir;
    write_file("velmora-sim.ini",
               "[Machine]\r\nprofile=7\r\n[ATXP1]\r\nregisters=zz\r\nnonsense\r\n");
    start_and_close();
    const std::string log = read_file("velmora.deb");
    EXPECT_EQ(log.rfind("===============================================\n", 0), 0u);
    EXPECT_NE(log.find("SIM: state file line 5 not understood\n"), std::string::npos) << log;
    EXPECT_NE(log.find("SIM: ATXP1: registers missing or invalid, power-on value used\n"),
              std::string::npos)
        << log;
    // Saved whole again at the end.
    EXPECT_NE(read_file("velmora-sim.ini").find("[NFORCE2_PCI]"), std::string::npos);
}

// The FSB the simulated board of the default profile starts with from the state file in the
// working directory; 0 when there is none.
double stored_fsb() {
    const auto board = stored_board(kDefaultSimProfile);
    return board ? board->world().fsb_mhz : 0.0;
}

TEST(Program, AKilledRunLeavesTheSimulatedBoardWhereItsFsbWalkStopped) {
    TempWorkDir dir;
    Child velmora({VELMORA_BINARY, "--sim=7", "-f", "200"}, kOffscreen);
    // The walk from 166 MHz takes some five seconds; the board saves about once a second on
    // the way. It is killed as soon as the file shows it under way.
    bool under_way = false;
    for (int i = 0; i < 3000 && !under_way; ++i) {
        under_way = stored_fsb() > 166.0;
        if (!under_way)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(velmora.pid(), SIGKILL);
    EXPECT_EQ(velmora.wait(), 128 + SIGKILL) << read_file("stderr.txt");
    ASSERT_TRUE(under_way) << read_file("velmora.deb");
    const double fsb = stored_fsb();
    EXPECT_GE(fsb, 167.0);
    EXPECT_LE(fsb, 200.0);
    EXPECT_NE(read_file("velmora-sim.ini").find("[Faults]\r\ncount=0\r\n"), std::string::npos);
}

TEST(Program, AHandEditedStateFileKeepsWhatItCanAndListsAtMost20Problems) {
    TempWorkDir dir;
    std::string text =
        "\xEF\xBB\xBF[ Machine ]\r\nprofile= 7 \r\n[NFORCE2_PCI]\r\n"
        "00:00.0/0xa8 = 0x01\r\n00:00.0/0xa4=\t0x00101403\r\n\x01\r\n";
    for (int i = 0; i < 30; ++i)
        text += "junk" + std::to_string(i) + "\r\n";
    write_file("velmora-sim.ini", text);
    start_and_close();
    const std::string log = read_file("velmora.deb");
    EXPECT_EQ(count_of(log, "SIM: "), 21u) << log;
    EXPECT_NE(log.find("SIM: state file line 6 not understood\n"), std::string::npos) << log;
    // Not listed: the 11 junk lines past the first 20, the 11 PCI registers not in the file,
    // 7 device sections and the World section.
    EXPECT_NE(log.find("SIM: 30 more problems in velmora-sim.ini not listed\n"
                       "VELMORA: Simulated board: Epox 8RDA+ Rev. 2.x (profile 7)"),
              std::string::npos)
        << log;
    EXPECT_DOUBLE_EQ(stored_fsb(), 167.0);  // the PLL kept, the file whole again
}

TEST(Program, ALinkPlantedAtTheOldNewFileNameNeitherTakesTheSaveNorBecomesConfigIni) {
    TempWorkDir dir;
    write_file("victim.txt", "not velmora's");
    ASSERT_EQ(symlink("victim.txt", "config.ini.velmora-new"), 0);
    start_and_close();
    EXPECT_EQ(read_file("victim.txt"), "not velmora's");
    struct stat st {};
    ASSERT_EQ(lstat("config.ini", &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(read_file("config.ini"), golden("config_first_close_on_default_board.ini"));
}

TEST(Program, FifosAsSettingsAndStateFileAreRefusedWithoutWaitingOnThem) {
    TempWorkDir dir;
    ASSERT_EQ(mkfifo("config.ini", 0644), 0);
    ASSERT_EQ(mkfifo("velmora-sim.ini", 0644), 0);
    // What the run set on the board is lost: it says so and ends with code 4.
    start_and_close(10, 4);
    EXPECT_NE(read_file("stderr.txt")
                  .find("velmora: the simulated board's state could not be "
                        "saved in velmora-sim.ini (not a regular file); what "
                        "this run set on it is lost\n"),
              std::string::npos);
    const std::string log = read_file("velmora.deb");
    for (const char* line : {"SIM: velmora-sim.ini is not a regular file, not read\n"
                             "VELMORA: Simulated board: ",
                             "CONFIGFILE: config.ini is not a regular file, not read\n",
                             "SIM: Can't write velmora-sim.ini: not a regular file\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    EXPECT_EQ(count_of(read_file("stderr.txt"),
                       "velmora: config.ini could not be saved: not a regular file\n"),
              1u);
    struct stat st {};
    ASSERT_EQ(lstat("config.ini", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(Program, RunsWhenTheLogCannotBeWritten) {
    TempWorkDir dir;
    mkdir("velmora.deb", 0755);  // stops root too, unlike a read-only directory
    Child velmora({VELMORA_BINARY, "--unattended"}, kOffscreen);
    velmora.signal(SIGHUP);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
}

// A virtual X display with one window whose title a test chooses.
// -noreset: like a desktop's, the server stays as it is when its last client leaves (velmora's
// check whether the display answers is such a client).
class VirtualDisplay {
  public:
    VirtualDisplay() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", fd,
                                         "-nolisten",     "tcp",        "-noreset"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        close(fds[1]);
        char buf[16] = {};
        ssize_t n = pid_ > 0 ? read(fds[0], buf, sizeof buf - 1) : 0;
        close(fds[0]);
        if (n > 0)
            display_ = ":" + std::string(buf, std::strcspn(buf, "\n"));
    }
    ~VirtualDisplay() {
        if (c_)
            xcb_disconnect(c_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return display_; }

    // A top-level window with the title; an unmapped one stands for a window hidden in the tray.
    void open_window(const std::string& title, bool mapped = true) {
        c_ = xcb_connect(display_.c_str(), nullptr);
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        xcb_window_t w = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(title.size()), title.data());
        if (mapped)
            xcb_map_window(c_, w);
        xcb_aux_sync();
    }

    // Whether a top-level window (or one inside a frame) has exactly this title.
    bool has_window_titled(const std::string& title) {
        const char* before = std::getenv("DISPLAY");
        const std::string saved = before ? before : "";
        setenv("DISPLAY", display_.c_str(), 1);
        bool found = false;
        for (const std::string& t : x11_top_level_window_titles())
            found = found || t == title;
        if (before)
            setenv("DISPLAY", saved.c_str(), 1);
        else
            unsetenv("DISPLAY");
        return found;
    }
    // Whether such a window comes up within ten seconds.
    bool shows_window_titled(const std::string& title) {
        bool found = false;
        for (int i = 0; i < 1000 && !found; ++i) {
            found = has_window_titled(title);
            std::this_thread::sleep_for(10ms);
        }
        return found;
    }

  private:
    void xcb_aux_sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    pid_t pid_ = -1;
    std::string display_;
    xcb_connection_t* c_ = nullptr;
};

const std::string kRefusedLog =
    "===============================================\n"
    "VELMORA: Version velmora 0.8.7-dev\n"
    "VELMORA: Already running! -> Exiting now...\n";

TEST(Program, ASecondCopyOnTheSameDesktopEndsWithCode1EvenWhenTheFirstIsHidden) {
    if (access("/usr/bin/Xvfb", X_OK) != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    for (bool mapped : {true, false}) {
        TempWorkDir dir;
        VirtualDisplay x;
        ASSERT_FALSE(x.name().empty());
        x.open_window("velmora 0.8.7-dev (Epox 8RDA+ Rev. 2.x)", mapped);
        Child velmora({VELMORA_BINARY, "--unattended"}, environment_with({"DISPLAY=" + x.name()}));
        EXPECT_EQ(velmora.wait(), 1) << read_file("stderr.txt");
        EXPECT_EQ(read_file("velmora.deb"), kRefusedLog) << "mapped " << mapped;
        EXPECT_NE(read_file("stderr.txt")
                      .find("velmora: another copy of velmora is running on this desktop (a "
                            "window titled \"velmora 0.8.7-dev...\")"),
                  std::string::npos);
        EXPECT_FALSE(file_exists("velmora-sim.ini")) << "mapped " << mapped;
    }
}

TEST(Program, ASecondCopyWithoutADisplayOnTheSameBoardEndsWithCode1AndWritesNoState) {
    TempWorkDir dir;
    // With settings of its own the first copy logs nothing after its load sampler's start.
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    Child first({VELMORA_BINARY, "--unattended"}, kOffscreen);
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted));
    struct stat before {};
    ASSERT_EQ(stat("velmora-sim.ini", &before), 0);
    const std::string state = read_file("velmora-sim.ini");
    const size_t log_size = read_file("velmora.deb").size();

    Child second({VELMORA_BINARY, "--unattended", "-f", "170"}, environment_with({}));
    EXPECT_EQ(second.wait(), 1) << read_file("stderr.txt");
    EXPECT_EQ(read_file("velmora.deb").substr(log_size), kRefusedLog);
    // Standard error names the copy that holds the lock.
    EXPECT_NE(read_file("stderr.txt")
                  .find("velmora: another copy of velmora holds the lock velmora-sim.ini.lock "
                        "(process " +
                        std::to_string(first.pid()) + " of user " + getpwuid(geteuid())->pw_name +
                        "); this one ends without touching the board\n"),
              std::string::npos)
        << read_file("stderr.txt");
    struct stat after {};
    ASSERT_EQ(stat("velmora-sim.ini", &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // a save replaces the file
    EXPECT_EQ(read_file("velmora-sim.ini"), state);

    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0) << read_file("stderr.txt");
}

TEST(Program, ARefusedStartOnADesktopSaysWhyInABox) {
    if (access("/usr/bin/Xvfb", X_OK) != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    TempWorkDir dir;
    VirtualDisplay x;
    ASSERT_FALSE(x.name().empty());
    ASSERT_EQ(symlink("elsewhere", "velmora-sim.ini.lock"), 0);
    Child velmora({VELMORA_BINARY}, environment_with({"DISPLAY=" + x.name()}));
    ASSERT_TRUE(wait_for_text("stderr.txt", "cannot be taken: it is a symbolic link"));
    // The box stays until it is answered: the process is still there with a window of its own.
    EXPECT_TRUE(x.shows_window_titled("velmora"));
    EXPECT_EQ(velmora.wait(1), -1);
    EXPECT_FALSE(file_exists("velmora-sim.ini"));
}

// A window that only mentions velmora's title does not hold the start back.
TEST(Program, OnADesktopWithAWindowThatOnlyMentionsTheKeyTheTitleSaysTheBoardIsSimulated) {
    if (access("/usr/bin/Xvfb", X_OK) != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    TempWorkDir dir;
    VirtualDisplay x;
    ASSERT_FALSE(x.name().empty());
    x.open_window("Notes on velmora 0.8.7-dev");
    Child velmora({VELMORA_BINARY, "--unattended", "--sim=7"},
                  environment_with({"DISPLAY=" + x.name()}));
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted));
    // The window is shown once the start-up is over.
    EXPECT_TRUE(x.shows_window_titled(
        "velmora 0.8.7-dev (Epox 8RDA+ Rev. 2.x) (simulated board, profile 7)"));
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
}

// Keys typed into velmora's window on the display, as a user types them; xdotool's exit code.
int type_into_window(const std::string& display, std::vector<std::string> keys) {
    // The window is found once it is shown (the log's last start-up line comes before that).
    std::vector<std::string> args = {
        "/usr/bin/xdotool", "search", "--sync", "--onlyvisible", "--name",   "^velmora 0",
        "windowfocus",      "--sync", "%1",     "key",           "--window", "%1"};
    args.insert(args.end(), keys.begin(), keys.end());
    Child xdotool(args, environment_with({"DISPLAY=" + display}));
    return xdotool.wait(10);
}

// What a port trace shows of the SMBus hosts: transactions, and those set up while the last
// one's status or data was still unread (two users of one host cutting into each other).
struct SmbusTrace {
    int transactions = 0;
    int overlaps = 0;
    std::vector<int> atxp1_0a_writes;  // the bytes written to the ATXP1's register 0x0A
};

SmbusTrace read_smbus_trace(const std::string& trace) {
    SmbusTrace seen;
    enum { Nothing, Status, Data } unread[2] = {Nothing, Nothing};
    int regs[2][5] = {};
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        char kind[8] = {};
        unsigned port = 0, value = 0;
        if (std::sscanf(line.c_str(), "%7s 0x%x = 0x%x", kind, &port, &value) != 3)
            continue;
        const int bus = port >= 0x5100 && port <= 0x5104   ? 1
                        : port >= 0x5000 && port <= 0x5004 ? 0
                                                           : -1;
        if (bus < 0)
            continue;
        const int reg = port & 0xFF;
        if (std::strcmp(kind, "out8") == 0) {
            if (reg != 1 && unread[bus] != Nothing)
                ++seen.overlaps;
            regs[bus][reg] = static_cast<int>(value);
            if (reg == 0) {
                ++seen.transactions;
                unread[bus] = Status;
                if (value == 0x06 && regs[bus][2] == (0x4E << 1) && regs[bus][3] == 0x0A)
                    seen.atxp1_0a_writes.push_back(regs[bus][4]);
            }
        } else if (reg == 1 && unread[bus] == Status) {
            unread[bus] = regs[bus][0] == 0x07 && value == 0x80 ? Data : Nothing;
        } else if (reg == 4 && unread[bus] == Data) {
            unread[bus] = Nothing;
        }
    }
    return seen;
}

// The Vdd bar moved and Apply pressed forty times by keyboard on the DFI board, whose LM90
// shares the ATXP1's bus, with a sensor tick every second: no transaction cuts into another,
// and the ATXP1's register 0x0A only ever changes in its Vdd bit.
TEST(Program, FortyVddAppliesBesideSensorTicksLeaveNoOverlapInThePortTrace) {
    if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    TempWorkDir dir;
    VirtualDisplay x;
    ASSERT_FALSE(x.name().empty());
    write_file("config.ini", "\r\n[Sensor]\r\nUpdate=1\r\n");
    Child velmora({VELMORA_BINARY, "--sim=4", "--trace-ports=trace.txt"},
                  environment_with({"DISPLAY=" + x.name()}));
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted));
    ASSERT_EQ(type_into_window(x.name(), {"Tab", "Tab", "Tab", "Tab"}), 0);  // the Vdd bar
    for (int i = 1; i <= 40; ++i) {
        ASSERT_EQ(type_into_window(x.name(), {i % 2 ? "Up" : "Down", "alt+a"}), 0);
        ASSERT_TRUE(wait_for_text("velmora.deb", "VELMORA: Setting Vdd to ", i, 20)) << i;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the Apply's last steps
    }
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
    const SmbusTrace trace = read_smbus_trace(read_file("trace.txt"));
    EXPECT_GT(trace.transactions, 400);
    EXPECT_EQ(trace.overlaps, 0);
    ASSERT_EQ(trace.atxp1_0a_writes.size(), 40u);
    for (int value : trace.atxp1_0a_writes)
        EXPECT_EQ(value & ~0x01, trace.atxp1_0a_writes[0] & ~0x01) << std::hex << value;
    EXPECT_EQ(read_file("velmora.deb").find("SIM: "), std::string::npos);
}

}  // namespace
