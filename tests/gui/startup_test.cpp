// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "app/kernel_access.h"
#include "app/port_setup.h"
#include "gui/application.h"
#include "gui/main_window.h"
#include "helpers/fake_kernel_tree.h"
#include "helpers/fake_platform.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "hw/linux_kernel.h"
#include "hw/pci.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

const std::string kBanner =
    "===============================================\n"
    "VELMORA: Version velmora 0.8.7-dev\n";
// The BIOS question on ports where no SMI interface answers.
const std::string kNoSmi = "SMI: Function code: 0xff\nSMI: Invalid function: 0x01\n";

class Startup : public ::testing::Test {
  protected:
    std::unique_ptr<TMain> start(std::vector<std::string> args = {}) {
        return std::make_unique<TMain>(prompts, std::move(args));
    }
    Startup() { install_clock(&clock); }
    ~Startup() override { install_clock(nullptr); }
    // A run that ended without a board stores 255: the next start opens without one.
    void no_board() { write_file("config.ini", "\r\n[Main]\r\nBoard=255\r\n"); }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
    ScriptedPrompts prompts;
    VirtualClock clock;  // the hardware waits of the start-up take no time
};

TEST_F(Startup, WithoutABoardTheWindowOpensReducedToSettingsAndAbout) {
    no_board();
    auto main = start();
    EXPECT_EQ(read_file("velmora.deb"),
              kBanner + "VELMORA: Linux detected\nBOARDS: Initialized 15 boards\n" + kNoSmi);
    EXPECT_TRUE(os.exits.empty());
    EXPECT_TRUE(prompts.messages.empty());

    EXPECT_EQ(main->windowTitle(), "velmora");
    QTabWidget* pages = main->findChild<QTabWidget*>("PageControl1");
    ASSERT_NE(pages, nullptr);
    const char* names[] = {"TabSheet1", "TabSheet2", "TabSheet4", "TabSheet3", "TabSheet5"};
    const char* captions[] = {"Main", "Sensor settings", "Chipset", "Settings", "About"};
    const bool visible[] = {false, false, false, true, true};
    ASSERT_EQ(pages->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), names[i]);
        EXPECT_EQ(pages->tabText(i), captions[i]);
        EXPECT_EQ(pages->isTabVisible(i), visible[i]) << names[i];
    }
    EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet3");

    for (const char* name : {"Timer1", "TimerAutoFSBmax", "TimerAutoFSBmin"}) {
        QTimer* timer = main->findChild<QTimer*>(name);
        ASSERT_NE(timer, nullptr) << name;
        EXPECT_FALSE(timer->isActive()) << name;
        EXPECT_EQ(timer->interval(), 5000) << name;
    }
    ASSERT_NE(main->findChild<QStatusBar*>("StatusBar1"), nullptr);
    EXPECT_EQ(main->size(), QSize(716, 512));
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
}

TEST_F(Startup, WithoutABoardTheStoredSettingsSurviveTheClose) {
    write_file("config.ini",
               "\r\n[Main]\r\nBoard=255\r\nLoadUpdate=7\r\n[AutoFSB]\r\nMaxFSB=200\r\n");
    start()->close();
    const std::string saved = read_file("config.ini");
    for (const char* kept : {"Board=255\r\n", "LoadUpdate=7\r\n", "MaxFSB=200\r\n"})
        EXPECT_NE(saved.find(kept), std::string::npos) << kept << saved;
}

TEST_F(Startup, ARunningCopyWithABoardEndsTheNewOneWithCode1) {
    os.titles = {"velmora", "velmora 0.8.7-dev (Epox 8RDA+ Rev. 2.x)"};
    EXPECT_THROW(start(), ProcessExit);
    EXPECT_EQ(os.exits, std::vector<int>{1});
    EXPECT_EQ(read_file("velmora.deb"), kBanner + "VELMORA: Already running! -> Exiting now...\n");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Startup, ACopyWithoutABoardOrAKeyInsideATitleDoesNotBlock) {
    os.titles = {"velmora", "", "Re: velmora 0.8.7-dev (Epox 8RDA+)"};
    auto main = start();
    EXPECT_TRUE(os.exits.empty());
}

TEST_F(Startup, TheOperatingSystemFamilyIsLogged) {
    no_board();
    os.family = OsFamily::Windows;
    os.windows_platform_id = 2;
    start();
    os.windows_platform_id = 1;
    start();
    os.windows_platform_id.reset();
    start();
    EXPECT_EQ(read_file("velmora.deb"),
              kBanner + "VELMORA: Windows NT/2000/XP detected\nBOARDS: Initialized 15 boards\n" +
                  kNoSmi + kBanner +
                  "VELMORA: Windows 9x/ME detected\nBOARDS: Initialized 15 boards\n" + kNoSmi +
                  kBanner +
                  "ENUM: Getting OS version info failed\nVELMORA: Windows 9x/ME detected\n"
                  "BOARDS: Initialized 15 boards\n" +
                  kNoSmi);
}

class PortGrant : public Startup {
  protected:
    PortGrant() {
        ports.needs_grant = true;
        ports.script[0xCFC] = {0x5001, 0x5101};  // the SMBus host bases of 00:01.1
        install_port_backend(&ports);
    }
    ~PortGrant() override {
        install_port_backend(nullptr);
        smbus_block_access(false);
    }

    ScriptedPortBackend ports;
};

// Without the kernel's tree velmora cannot know who owns what: every port it may use.
TEST_F(PortGrant, LinuxGrantsThePortsOfTheBoardsChipsOnly) {
    no_board();
    auto main = start();
    EXPECT_TRUE(ports.access_granted);
    EXPECT_EQ(port_ranges_text(os.granted_ranges),
              "0x70-0x71, 0x80, 0x442e-0x442f, 0x4480-0x449f, 0x295-0x296, 0x5000-0x5004, "
              "0x5100-0x5104, 0xcf8-0xcff");
    EXPECT_EQ(read_file("velmora.deb"),
              kBanner + "VELMORA: Linux detected\nVELMORA: Direct port access granted (ioperm " +
                  port_ranges_text(os.granted_ranges) +
                  ")\n"
                  "BOARDS: Initialized 15 boards\n" +
                  kNoSmi);
}

TEST_F(PortGrant, AnNforce2WhosePortsAreRefusedTellsWhyAndEndsWithCode1InsteadOfSimulating) {
    std::filesystem::create_directories("sys/bus/pci/devices/0000:00:00.0");
    write_file("sys/bus/pci/devices/0000:00:00.0/vendor", "0x10de\n");
    write_file("sys/bus/pci/devices/0000:00:00.0/device", "0x01e0\n");
    os.port_access_granted = false;
    os.messages = {{EPERM, "Operation not permitted"}, {ENOSYS, "Function not implemented"}};
    for (uint32_t error : {EPERM, ENOSYS}) {
        os.port_access_error = error;
        PortSetup setup = choose_port_backend({});
        install_port_backend(&setup.active());
        testing::internal::CaptureStderr();
        EXPECT_THROW(start(), ProcessExit);
        // A start-up script sees the refusal too, not only a box.
        EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("velmora: ", 0), 0u);
        install_port_backend(nullptr);
    }
    EXPECT_EQ(os.exits, (std::vector<int>{1, 1}));
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_NE(prompts.messages[0].find("cap_sys_rawio,cap_sys_admin,cap_dac_override+ep"),
              std::string::npos);
    EXPECT_NE(prompts.messages[1].find("The kernel has no ioperm call"), std::string::npos);
    const std::string refused = kBanner + "VELMORA: Linux detected\n" +
                                "VELMORA: Direct port access refused (ioperm " +
                                port_ranges_text(all_board_port_ranges()) + "): ";
    EXPECT_EQ(read_file("velmora.deb"),
              refused + "Operation not permitted\n" + refused + "Function not implemented\n");
}

// Beside the kernel: what it offers is opened before the grant and the drop of the privileges,
// and configuration space is read through it, never through the ports the kernel locks.
TEST_F(PortGrant, TheKernelsFilesAreOpenedBeforeTheGrantAndTheDrop) {
    FakeKernelTree tree("root");
    // Each function's whole configuration space as root reads it; the BIOS put host 1 at
    // 0x5200.
    std::string config(256, '\0');
    config[0x50] = 0x01, config[0x51] = 0x50, config[0x54] = 0x01, config[0x55] = 0x52;
    for (const char* f : {"00.0", "00.1", "00.5", "01.1", "08.0", "1e.0"}) {
        const auto folder = tree.root / "sys/bus/pci/devices" / ("0000:00:" + std::string(f));
        std::filesystem::create_directories(folder);
        write_file(folder / "config", config);
    }
    LinuxKernel linux_kernel(tree.root.string());
    install_kernel(&linux_kernel);
    no_board();
    ports.accesses.clear();
    os.privileges = {true, true, 0x1FFFFFFFFFFull, 0x1FFFFFFFFFFull};
    std::unique_ptr<TMain> main = start();
    install_kernel(nullptr);
    for (const PortAccess& a : ports.accesses)
        EXPECT_NE(a.port & 0xFFF8, 0xCF8) << describe(a);
    EXPECT_EQ(smbus_host_base(1), 0x5200);
    EXPECT_EQ(os.calls, (std::vector<std::string>{"grant_port_access",
                                                  "drop_privileges keep_file_owner_caps"}));
    EXPECT_EQ(read_file("velmora.deb"),
              kBanner +
                  "VELMORA: Linux detected\n"
                  "VELMORA: PCI configuration: through sysfs\n"
                  "VELMORA: SMBus host 0 at 0x5000: no driver bound, through its ports\n"
                  "VELMORA: SMBus host 1 at 0x5200: no driver bound, through its ports\n"
                  "VELMORA: Hardware monitor at 0x295: no driver, through its ports\n"
                  "VELMORA: FSB: no cpufreq driver on it, through the PLL registers\n"
                  "VELMORA: SMI, port 80h and CMOS: through their ports\n"
                  "VELMORA: Direct port access granted (ioperm 0x70-0x71, 0x80, 0x442e-0x442f, "
                  "0x4480-0x449f, 0x295-0x296, 0x5000-0x5004, 0x5200-0x5204)\n"
                  "VELMORA: Capabilities dropped, kept: CAP_CHOWN CAP_DAC_OVERRIDE CAP_FOWNER\n"
                  "BOARDS: Initialized 15 boards\n" +
                  kNoSmi);
    smbus_reset_state();
    pci_use_ports();
}

TEST_F(PortGrant, OnTheNtFamilyTheDriverServiceOpensThePorts) {
    os.family = OsFamily::Windows;
    os.windows_platform_id = 2;
    os.service_exists = true;
    os.service_state = SERVICE_STATE_RUNNING;
    no_board();  // the settings shown later set status texts of their own
    auto main = start();
    EXPECT_TRUE(ports.access_granted);
    EXPECT_EQ(main->findChild<QStatusBar*>("StatusBar1")->currentMessage(),
              "GiveIO successfully initialized.");
    EXPECT_NE(read_file("velmora.deb")
                  .find("VELMORA: Windows NT/2000/XP detected\nGIVEIO: Open SC-Manager->Success\n"),
              std::string::npos);
}

TEST_F(PortGrant, OnTheNtFamilyADriverFailureIsShownAndEndsWithCode1) {
    os.family = OsFamily::Windows;
    os.windows_platform_id = 2;
    os.manager_opens = false;
    EXPECT_THROW(start(), ProcessExit);
    EXPECT_EQ(os.exits, std::vector<int>{1});
    EXPECT_EQ(prompts.messages, std::vector<std::string>{
                                    "ERROR: GiveIO -> Windows Servicemanager cannot be opened."});
    EXPECT_EQ(read_file("velmora.deb"), kBanner + "VELMORA: Windows NT/2000/XP detected\n");
}

TEST_F(Startup, PortsThatNeedNoGrantAreNotOpened) {
    os.family = OsFamily::Windows;
    os.windows_platform_id = 2;
    no_board();
    auto main = start();
    EXPECT_TRUE(os.calls.empty());
    EXPECT_EQ(main->findChild<QStatusBar*>("StatusBar1")->currentMessage(), "");
}

// The simulated board as the hardware of the start-up.
class StartupOnBoard : public Startup {
  protected:
    ~StartupOnBoard() override { install_port_backend(nullptr); }
    void boot(int profile) {
        machine = std::make_unique<SimMachine>(*sim_profile(profile));
        machine->set_cpu_load(0);
        install_port_backend(machine.get());
    }

    std::unique_ptr<SimMachine> machine;
};

TEST_F(StartupOnBoard, AStoredBoardIsReadIntoTheWindowWithEveryTab) {
    boot(7);
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    auto main = start();
    EXPECT_EQ(main->windowTitle(), "velmora 0.8.7-dev (Epox 8RDA+ Rev. 2.x)");
    const std::string log = read_file("velmora.deb");
    EXPECT_NE(log.find("VELMORA: Linux detected\nBOARDS: Initialized 15 boards\n"
                       "SMI: Function code: 0xe1\nSMI: Interface version 0x100\n"
                       "SMI: Board vendor: Epox, version 0x00\nSMI: Board name: EP-8RDA+\n"
                       "VELMORA: SMI interface available\n"
                       "VELMORA: Board Epox 8RDA+ Rev. 2.x nr: 7\n"
                       // No map of either kind here: the map stays empty.
                       "CONFIGFILE: Can't stat sensor.ini\n"
                       "SENSOR: Map for board 7 not found in sensor.ini\n"
                       "CONFIGFILE: Can't stat sensormap.ini\n"
                       "SENSOR: Map for board 7 not found in sensormap.ini\n"
                       "VELMORA: Getting ATXP1-registers\nVELMORA: ATXP1: 28,07,ff,00\n"),
              std::string::npos)
        << log;
    EXPECT_DOUBLE_EQ(main->values_read.vcore, 1.65);
    EXPECT_DOUBLE_EQ(main->values_read.vdimm, 2.63);
    EXPECT_DOUBLE_EQ(main->values_read.vdd, 1.6);
    EXPECT_DOUBLE_EQ(main->values_read.vagp, 1.5);
    EXPECT_EQ(main->values_read.fsb, 166);
    EXPECT_EQ(main->values_read.tras, 11);
    EXPECT_EQ(main->values_read.trcd, 5);
    EXPECT_EQ(main->values_read.trp, 7);
    EXPECT_DOUBLE_EQ(main->cpu_multiplier, 11.0);
    EXPECT_EQ(main->values_applied.fsb, 166);
    EXPECT_DOUBLE_EQ(main->values_selected.vcore, 1.65);
    QTabWidget* pages = main->findChild<QTabWidget*>("PageControl1");
    for (int i = 0; i < pages->count(); ++i)
        EXPECT_TRUE(pages->isTabVisible(i)) << i;
    EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet1");
    EXPECT_TRUE(prompts.messages.empty());
    // The About tab says what the window runs on; started on the simulated board, the window
    // says so in its title, on the About tab and in the status bar.
    EXPECT_EQ(main->settings_tab.LabelBoardSource->text(), "Running on the real board.");
    main.reset();
    StartupNotes simulated;
    simulated.simulated_board = "Epox 8RDA+ Rev. 2.x (profile 7)";
    simulated.simulated_profile = 7;
    main = std::make_unique<TMain>(prompts, std::vector<std::string>{}, simulated);
    EXPECT_EQ(main->windowTitle(),
              "velmora 0.8.7-dev (Epox 8RDA+ Rev. 2.x) (simulated board, profile 7)");
    const QString source =
        "Simulated board: Epox 8RDA+ Rev. 2.x (profile 7) (state in velmora-sim.ini)";
    EXPECT_EQ(main->settings_tab.LabelBoardSource->text(), source);
    EXPECT_EQ(main->StatusBar1->currentMessage(), source);
    EXPECT_TRUE(machine->world().faults.empty());
}

TEST_F(StartupOnBoard, WithoutAStoredBoardTheGeneralBoardSearchesItsChip) {
    boot(14);  // no SMI interface in the BIOS; ATXP1 at 0x4E on bus 1
    auto main = start();
    EXPECT_EQ(main->board_number, 14);
    EXPECT_EQ(main->windowTitle(), "velmora 0.8.7-dev (General board)");
    EXPECT_NE(read_file("velmora.deb")
                  .find("ATXP1: Searching...\nATXP1: Found ATXP1 on bus 1, addr. 78\n"
                        "VELMORA: Board General board nr: 14\n"),
              std::string::npos);
    EXPECT_EQ(main->board.chip.address, 0x4E);
}

TEST_F(StartupOnBoard, AStoredBoardNumberPastTheTableAsksTheBiosInstead) {
    boot(7);
    write_file("config.ini", "\r\n[Main]\r\nBoard=20\r\n");
    auto main = start();
    EXPECT_EQ(main->board_number, 7);  // the BIOS names the Epox 8RDA+ Rev. 2.x
    EXPECT_NE(read_file("velmora.deb")
                  .find("VELMORA: Unknown board nr. 20 in config.ini, asking the BIOS\n"),
              std::string::npos);
}

TEST_F(Startup, WithoutAVidChipTheUserIsToldAndTheStartGoesOn) {
    auto main = start();  // nothing on the ports
    EXPECT_EQ(prompts.messages,
              std::vector<std::string>{"ATXP1 not found\nVoltage adjustments not working"});
    EXPECT_EQ(main->windowTitle(), "velmora 0.8.7-dev (General board)");
    EXPECT_NE(read_file("velmora.deb").find("ATXP1: Not found\n"), std::string::npos);
}

TEST(RunMode, ARunThatEndsByItselfNeedsNoDisplayAndAWindowStartWithoutOneDoesNotStart) {
    const std::vector<std::string> none, set = {"-f", "170"}, read = {"--read"},
                                         unattended = {"--unattended"};
    const struct {
        const std::vector<std::string>& args;
        bool display;
        const char* qpa;
        bool unattended, offscreen, no_window;
    } cases[] = {
        {none, true, nullptr, false, false, false},
        {set, true, nullptr, false, false, false},
        {read, true, nullptr, true, false, false},  // a read-out never waits on a question
        {none, false, nullptr, false, false, true},
        {set, false, nullptr, true, true, false},
        {read, false, "xcb", true, true, false},  // a platform that cannot work is not taken
        {unattended, false, nullptr, true, true, false},
        {none, true, "offscreen", true, true, false},
        {none, false, "minimal", true, true, false},
    };
    for (const auto& c : cases) {
        const RunMode mode = decide_run_mode(c.args, c.display, c.qpa);
        EXPECT_EQ(mode.unattended, c.unattended) << c.args.size() << c.display;
        EXPECT_EQ(mode.offscreen, c.offscreen) << c.args.size() << c.display;
        EXPECT_EQ(mode.no_window, c.no_window) << c.args.size() << c.display;
    }
}

}  // namespace
