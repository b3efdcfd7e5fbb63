// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "app/port_setup.h"
#include "diag/append_file.h"
#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"
#include "hw/direct_port_backend.h"
#include "hw/port_io.h"
#include "hw/scripted_port_backend.h"
#include "hw/tracing_port_backend.h"
#include "sim/sim_machine.h"

namespace {

TEST(PortBackends, WithoutABackendThePortsFloat) {
    install_port_backend(nullptr);
    EXPECT_EQ(port_in8(0x295), 0xFF);
    EXPECT_EQ(port_in16(0x4480), 0xFFFF);
    EXPECT_EQ(port_in32(0xCFC), 0xFFFFFFFFu);
    port_out8(0x88, 0x449F);  // goes nowhere
}

TEST(PortBackends, ScriptedReadsTakeTheirWidthAndAnswerScriptThenDefaults) {
    ScriptedPortBackend ports;
    install_port_backend(&ports);
    ports.script[0x80] = {0x1234, 0x56};
    ports.defaults[0x80] = 0x42;
    ports.default_value = 0;
    EXPECT_EQ(port_in8(0x80), 0x34);
    EXPECT_EQ(port_in16(0x80), 0x56);
    EXPECT_EQ(port_in32(0x80), 0x42u);
    EXPECT_EQ(port_in8(0x81), 0);
    port_out16(0xBEEF, 0x4480);
    EXPECT_EQ(ports.accesses,
              (std::vector<PortAccess>{in(1, 0x80, 0x34), in(2, 0x80, 0x56), in(4, 0x80, 0x42),
                                       in(1, 0x81, 0), out(2, 0x4480, 0xBEEF)}));
    ports.lost = true;
    EXPECT_THROW(port_in8(0x80), PortAccessLost);
    install_port_backend(nullptr);
}

TEST(PortBackends, RealPortsAreNeverTouchedBeforeAccessIsGranted) {
    DirectPortBackend direct;
    EXPECT_TRUE(direct.needs_port_grant());
    EXPECT_THROW(direct.in8(0x80), PortAccessLost);
    EXPECT_THROW(direct.out32(0xCF8, 0x80000000u), PortAccessLost);
}

TEST(PortBackends, TheTraceHoldsEveryAccessInOrder) {
    TempWorkDir dir;
    ScriptedPortBackend ports;
    ports.defaults[0x5101] = 0x80;
    {
        int fd = -1;
        std::string why;
        ASSERT_EQ(open_for_append("ports.trace", fd, why), AppendOpen::Opened);
        TracingPortBackend tracing(ports, fd);
        ASSERT_TRUE(tracing.is_open());
        install_port_backend(&tracing);
        port_out8(0x6E, 0x5102);
        port_in8(0x5101);
        port_out32(0x80000190, 0xCF8);
        install_port_backend(nullptr);
    }
    EXPECT_EQ(read_file("ports.trace"),
              "out8 0x5102 = 0x6e\nin8 0x5101 = 0x80\nout32 0x0cf8 = 0x80000190\n");
    EXPECT_EQ(ports.accesses.size(), 3u);
}

}  // namespace

namespace {

TEST(PortSetupChoice, RealPortsOnWindowsOnAnNforce2OrWhenForcedWithoutAskingForTheGrant) {
    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed(os);
    os.port_access_granted = false;  // the start-up asks, not the choice
    std::filesystem::create_directories("sys/bus/pci/devices/0000:00:00.0");
    write_file("sys/bus/pci/devices/0000:00:00.0/device", "0x01e0\n");
    struct Case {
        OsFamily family;
        const char* vendor;  // of the host bridge 00:00.0
        std::vector<std::string> args;
        bool real;
    };
    const Case cases[] = {
        {OsFamily::Windows, "0x8086\n", {}, true},
        {OsFamily::Windows, "0x8086\n", {"--sim"}, false},
        {OsFamily::Linux, "0x10de\n", {}, true},
        {OsFamily::Linux, "0x10de\n", {"--sim=3"}, false},
        {OsFamily::Linux, "0x10de\n", {"--sim=0"}, false},  // the first and last profiles
        {OsFamily::Linux, "0x10de\n", {"--sim=14"}, false},
        {OsFamily::Linux, "0x10de\n", {"--sim"}, false},
        {OsFamily::Linux, "0x8086\n", {}, false},
        {OsFamily::Linux, "0x8086\n", {"--hardware"}, true},
    };
    for (const Case& c : cases) {
        os.family = c.family;
        write_file("sys/bus/pci/devices/0000:00:00.0/vendor", c.vendor);
        PortSetup setup = choose_port_backend(c.args);
        const std::string what = c.vendor + (c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(setup.backend->needs_port_grant(), c.real) << what;
        EXPECT_EQ(setup.machine == nullptr, c.real) << what;
    }
    EXPECT_TRUE(os.calls.empty());
    EXPECT_EQ(choose_port_backend({}).notes.simulated_board, "Epox 8RDA+ Rev. 2.x (profile 7)");
    os.sys_root = "missing";
    EXPECT_FALSE(nforce2_host_bridge_present());

    os.sys_root = "sys";
    write_file("sys/bus/pci/devices/0000:00:00.0/vendor", "0x10de\n");
    PortSetup real = choose_port_backend({"--trace-ports=t.trace"});
    EXPECT_TRUE(real.active().needs_port_grant());
    EXPECT_THROW(real.active().in8(0x80), PortAccessLost);  // not granted yet
    EXPECT_TRUE(file_exists("t.trace"));
}

TEST(PortSetupChoice, UnknownProfilesAreRefused) {
    TempWorkDir dir;
    for (const char* bad : {"--sim=15", "--sim=-1", "--sim=abc", "--sim=", "--sim=7x"}) {
        PortSetup setup = choose_port_backend({bad});
        EXPECT_EQ(setup.backend, nullptr) << bad;
        EXPECT_NE(setup.error.find("use --sim=0 to --sim=14"), std::string::npos) << bad;
    }
    EXPECT_EQ(choose_port_backend({"--sim=14"}).notes.simulated_board,
              "General board (profile 14)");
}

TEST(PortSetupChoice, EachFormOfTheTraceOptionNamesItsFile) {
    const struct {
        std::vector<std::string> args;
        const char* file;
    } forms[] = {
        {{"--trace-ports"}, "velmora-ports.trace"},
        {{"--trace-ports="}, "velmora-ports.trace"},
        {{"--trace-ports=t"}, "t"},                                       // the shortest name
        {{"--trace-ports=a.trace", "--trace-ports=b.trace"}, "b.trace"},  // the last one counts
    };
    for (const auto& f : forms) {
        TempWorkDir dir;
        std::vector<std::string> args = f.args;
        args.insert(args.begin(), "--sim");
        PortSetup setup = choose_port_backend(args);
        ASSERT_NE(setup.backend, nullptr) << f.args.back();
        setup.active().in8(0x80);
        EXPECT_NE(read_file(f.file), "") << f.args.back();
    }
}

}  // namespace
