// SPDX-License-Identifier: GPL-2.0-or-later
// The program beside the kernel's drivers, through the binary: a made-up kernel tree over the
// simulated board stands for a Debian kernel with its nForce2 drivers bound.
#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "helpers/fake_kernel_tree.h"
#include "program.h"
#include "sim/sim_machine.h"

namespace {

struct KernelRun {
    int code;
    std::string log, err, trace;
    std::unique_ptr<SimMachine> board;
};

// velmora-cli on the Epox profile with the tree as the kernel, and a port trace.
KernelRun run(const FakeKernelTree& tree, const std::vector<std::string>& options,
              int profile = 7) {
    std::vector<std::string> args = {VELMORA_CLI_BINARY, "--sim=" + std::to_string(profile),
                                     "--trace-ports=trace.txt"};
    args.insert(args.end(), options.begin(), options.end());
    Child program(args, environment_with({"VELMORA_TEST_KERNEL_ROOT=" + tree.root.string()}));
    KernelRun r;
    r.code = program.wait();
    r.log = read_file("velmora.deb");
    r.err = read_file("stderr.txt");
    r.trace = read_file("trace.txt");
    r.board = std::make_unique<SimMachine>(*sim_profile(profile));
    SimLoadReport report;
    if (!sim_load_state(*r.board, report))
        r.board.reset();
    return r;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Kernel, BesideDebiansDriversVcoreAndFsbAreSetThroughTheKernel) {
    TempWorkDir dir;
    FakeKernelTree tree("root");
    tree.bind_smbus();
    tree.i2c_client(0, 0x4C, "lm90", "lm90");
    tree.hwmon(0, "w83627hf", "w83627hf");
    const KernelRun r = run(tree, {"-s", "1.70", "-f", "180"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.log,
                    "VELMORA: SMBus host 0 at 0x5000: driver nForce2_smbus, through "
                    "/dev/i2c-0\n"))
        << r.log;
    EXPECT_TRUE(has(r.log, "VELMORA: Setting Vcore to 1.700 done\n"));
    EXPECT_TRUE(has(r.log, "VELMORA: Setting FSB to 180 done\n"));
    // Every chip access went through the kernel: no configuration or SMBus port in the trace.
    EXPECT_TRUE(has(r.trace, "i2c /dev/i2c-0 0x37 write 0x00 = 0x2"));
    EXPECT_TRUE(has(r.trace, "pwrite /sys/bus/pci/devices/0000:00:00.0/config 0xa4 4 = "));
    EXPECT_FALSE(has(r.trace, " 0x0cf8 = ")) << r.trace.substr(0, 2000);
    EXPECT_FALSE(has(r.trace, " 0x5000 = "));
    ASSERT_NE(r.board, nullptr);
    EXPECT_DOUBLE_EQ(r.board->world().vcore, 1.70);
    EXPECT_EQ(r.board->world().fsb_mhz, 180);
    EXPECT_TRUE(r.board->world().faults.empty()) << r.board->world().faults.front();
}

// Each conflict refuses only what it must, says which driver and what to do, and the rest
// of the run goes on.
TEST(Kernel, ConflictsRefuseOnlyWhatTheDriverHolds) {
    const struct {
        const char* name;
        void (*set_up)(FakeKernelTree&);
        std::vector<std::string> options;
        int code;
        const char* said;  // on standard error
        double vcore;
        int fsb;
    } cases[] = {
        {"cpufreq_nforce2",
         [](FakeKernelTree& t) {
             t.bind_smbus();
             t.cpufreq("nforce2");
         },
         {"-s", "1.70", "-f", "180"},
         3,
         "\n  sudo modprobe -r cpufreq_nforce2\n",
         1.70,
         166},
        {"atxp1 bound",
         [](FakeKernelTree& t) {
             t.bind_smbus();
             t.i2c_client(0, 0x37, "atxp1", "atxp1");
         },
         {"-s", "1.70", "-f", "180"},
         3,
         "\n  echo 0-0037 | sudo tee /sys/bus/i2c/drivers/atxp1/unbind\n",
         1.65,
         166},
        {"i2c-dev missing",
         [](FakeKernelTree& t) { t.bind_smbus(false); },
         {"-s", "1.70"},
         3,
         "\n  sudo modprobe i2c-dev\n",
         1.65,
         166},
        {"fancontrol",
         [](FakeKernelTree& t) {
             t.bind_smbus();
             t.hwmon(0, "w83627hf", "w83627hf");
             t.fancontrol(812, "hwmon0/pwm1=hwmon0/temp2_input");
         },
         {"-s", "1.70"},
         0,
         "\n  sudo systemctl stop fancontrol",
         1.70,
         166},
        {"i2c_nforce2 bound to nothing", [](FakeKernelTree&) {}, {"-s", "1.70"}, 0, "", 1.70, 166},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkDir dir;
        FakeKernelTree tree("root");
        c.set_up(tree);
        const KernelRun r = run(tree, c.options);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_TRUE(has(r.err, c.said)) << r.err;
        ASSERT_NE(r.board, nullptr);
        EXPECT_DOUBLE_EQ(r.board->world().vcore, c.vcore);
        EXPECT_EQ(r.board->world().fsb_mhz, c.fsb);
        EXPECT_TRUE(r.board->world().faults.empty()) << r.board->world().faults.front();
    }
}

// Every board reads the same through its kernel drivers as through the ports: voltages,
// clock, timings, every sensor of the sensor map.
TEST(Kernel, EveryProfileReadsTheSameThroughTheKernelAsThroughThePorts) {
    for (int profile = 0; profile <= 14; ++profile) {
        SCOPED_TRACE(profile);
        std::string json[2];
        for (int through_kernel = 0; through_kernel < 2; ++through_kernel) {
            TempWorkDir dir;
            FakeKernelTree tree("root");
            if (through_kernel) {
                SimMachine board(*sim_profile(profile));
                tree.bind_drivers_of(board);
            }
            const KernelRun r = run(tree, {"--read", "--json"}, profile);
            EXPECT_EQ(r.code, 0) << r.err;
            json[through_kernel] = read_file("stdout.txt");
            ASSERT_NE(r.board, nullptr);
            EXPECT_TRUE(r.board->world().faults.empty()) << r.board->world().faults.front();
            // A monitor its driver owns is never reached through its ports.
            if (std::filesystem::exists(tree.root / "sys/class/hwmon/hwmon0")) {
                EXPECT_FALSE(has(r.trace, " 0x0296 = ")) << r.trace.substr(0, 3000);
            }
        }
        // The fans follow their duty over time, and a run through the kernel waits less
        // for the SMBus: their speeds are compared within 5 %, the rest byte for byte.
        std::vector<long> fans[2];
        for (int i = 0; i < 2; ++i) {
            static const std::regex kFan("(\"FAN[0-9]\": \\{\"value\": )([0-9]+)");
            for (std::sregex_iterator m(json[i].begin(), json[i].end(), kFan), end; m != end; ++m)
                fans[i].push_back(std::stol((*m)[2]));
            json[i] = std::regex_replace(json[i], kFan, "$1_");
        }
        EXPECT_EQ(json[1], json[0]);
        ASSERT_EQ(fans[1].size(), fans[0].size());
        for (size_t f = 0; f < fans[0].size(); ++f)
            EXPECT_NEAR(fans[1][f], fans[0][f], fans[0][f] / 20.0) << "FAN" << f + 1;
    }
}

}  // namespace
