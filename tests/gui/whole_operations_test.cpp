// SPDX-License-Identifier: GPL-2.0-or-later
// Long hardware work under the real clock and the real event loop: sensor ticks run beside
// Applies without ever cutting into an SMBus transaction, and every wait between steps lasts at
// least as long as the hardware needs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/cpuload.h"
#include "automation/presets.h"
#include "board/fsb.h"
#include "board/voltage.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "helpers/passing_ports.h"
#include "helpers/window_world.h"
#include "hw/pci.h"
#include "sim/sim_machine.h"

namespace {

using Kind = HardwareSteps::Kind;

// Passes every access on to the simulated board and notes, with the real clock's time, when
// the PLL got a new value and when the VID register of the ATXP1 was written.
class TimedWrites : public PassingPorts {
  public:
    explicit TimedWrites(SimMachine& inner) : PassingPorts(inner) {}
    std::vector<uint64_t> pll_steps, vid_writes;

  private:
    void before_write(uint16_t port, uint32_t value) override {
        const int bus = port >= 0x5100 && port < 0x5105   ? 1
                        : port >= 0x5000 && port < 0x5005 ? 0
                                                          : -1;
        if (bus >= 0 && (port & 0xFF) == 3)
            command_[bus] = static_cast<uint8_t>(value);
        if (bus >= 0 && (port & 0xFF) == 0 && value == 0x06 && command_[bus] == 0)
            vid_writes.push_back(current_clock().now_us());
        if (port == PCI_CONFIG_ADDRESS)
            address_ = value;
        if (port == PCI_CONFIG_DATA && address_ == pci_config_address(0, 0, 0, 0xA4) &&
            value != last_pll_) {
            pll_steps.push_back(current_clock().now_us());
            last_pll_ = value;
        }
    }

    uint8_t command_[2] = {0xFF, 0xFF};
    uint32_t address_ = 0;
    uint32_t last_pll_ = 0;
};

class WholeOperations : public ::testing::Test, protected WindowWorld {
  protected:
    WholeOperations() {
        install_clock(nullptr);  // the real clock: these tests look at real time
        presets_reset_state();
        fsb_reset_state();
    }
    ~WholeOperations() override {
        main.reset();
        install_port_backend(nullptr);
        presets_reset_state();
    }
    void start(SimMachine& machine, PortBackend& ports, const std::string& extra = "") {
        machine.set_cpu_load(0);
        install_port_backend(&ports);
        write_file("config.ini", "\r\n[Main]\r\nBoard=" + std::to_string(machine.profile().number) +
                                     "\r\n\r\n[Sensor]\r\nUpdate=1\r\n" + extra);
        // The map that comes with the program: the CPU temperature from the LM90.
        write_file("sensormap.ini", read_file(VELMORA_SOURCE_DIR "/data/sensormap.ini"));
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        cpuload_stop();
        main->EnableHardwareStepping();
    }
    // Runs the event loop until the condition holds; false when it did not within the time.
    static bool run_until(const std::function<bool()>& done, int limit_ms) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        QTimer::singleShot(limit_ms, &loop, &QEventLoop::quit);
        poll.start(5);
        loop.exec();
        return done();
    }
    bool apply_and_wait() {
        main->main_tab.ButtonApply->click();
        return run_until([this] { return !main->hardware_steps().busy(Kind::Action); }, 20000);
    }
    static uint64_t shortest_gap(const std::vector<uint64_t>& times) {
        uint64_t shortest = UINT64_MAX;
        for (size_t i = 1; i < times.size(); ++i)
            shortest = std::min(shortest, times[i] - times[i - 1]);
        return shortest;
    }

    std::unique_ptr<TMain> main;
};

// On the boards with the LM90 on the VID chip's bus, a sensor tick that came inside an Apply's
// SMBus transaction read the ATXP1's byte as a temperature and handed the LM90's byte to the
// Apply, which wrote it back into the chip's voltage bits.
TEST_F(WholeOperations, SensorTicksNeverCutIntoTheApplysTransactionsOnTheLm90Boards) {
    for (const auto& [profile, applies] : {std::pair{4, 40}, {5, 12}, {10, 12}}) {
        SimMachine machine{*sim_profile(profile)};
        start(machine, machine);
        const Board& board = main->board;
        const double vcore = main->values_applied.vcore;
        int ticks = 0;
        QObject::connect(main->Timer1, &QTimer::timeout, [&] { ++ticks; });
        for (int i = 0; i < applies; ++i) {
            // The MS-3 board sets the core voltage only.
            const bool vcore_only = table_count(board.vdd) == 0;
            const bool up = vcore_only ? i % 2 == 0 : (i / 3) % 2 == 0;
            switch (vcore_only ? 2 : i % 3) {
                case 0:
                    main->main_tab.ShowVdd(up ? table_max(board.vdd) : table_min(board.vdd));
                    break;
                case 1:
                    main->main_tab.ShowVdimm(up ? table_max(board.vdimm) : table_min(board.vdimm));
                    break;
                default:
                    main->main_tab.ShowVcore(up ? vcore + 0.025 : vcore);
            }
            ASSERT_TRUE(apply_and_wait()) << profile;
            // The rails are exactly what was asked, none moved that was not.
            if (!vcore_only) {
                EXPECT_NEAR(machine.world().vdd, main->values_selected.vdd, 1e-9) << profile << i;
                EXPECT_NEAR(machine.world().vdimm, main->values_selected.vdimm, 1e-9)
                    << profile << i;
            }
            EXPECT_NEAR(machine.world().vcore, main->values_selected.vcore, 1e-9) << profile << i;
            EXPECT_EQ(main->StatusBar1->currentMessage().toStdString().rfind("Done.", 0), 0u)
                << profile << i;
            // The temperature shown is the LM90's, never an ATXP1 byte.
            ASSERT_TRUE(main->cpu_temperature_known) << profile;
            EXPECT_NEAR(main->cpu_temperature, machine.world().cpu_temp_c, 3.0) << profile << i;
        }
        EXPECT_GE(ticks, 2) << profile;
        EXPECT_TRUE(machine.world().faults.empty()) << profile << ": " << machine.world().faults[0];
        main.reset();
        install_port_backend(nullptr);
    }
}

// A 5 MHz walk and a Vcore change of five codes, with sensor ticks every second: each PLL value
// stands at least 150 ms, each VID code at least its 50 ms transaction plus the regulator's
// 100 ms, whatever else the event loop does meanwhile; and a close asked in the middle of the
// code-by-code change does not shorten its pauses.
TEST_F(WholeOperations, NoWaitBetweenStepsIsShorterThanTheHardwareNeeds) {
    SimMachine machine{*sim_profile(7)};
    TimedWrites timed{machine};
    start(machine, timed);
    const double vcore = main->values_applied.vcore;
    main->main_tab.ShowFsb(main->values_applied.fsb + 5);
    main->main_tab.ShowVcore(vcore + 0.125);
    ASSERT_TRUE(apply_and_wait());
    EXPECT_EQ(main->StatusBar1->currentMessage().toStdString(), "Done.");
    ASSERT_EQ(timed.pll_steps.size(), 6u);  // the running clock, then five steps
    ASSERT_EQ(timed.vid_writes.size(), 6u);
    const std::vector<uint64_t> pll = timed.pll_steps;
    const uint64_t vid = shortest_gap(timed.vid_writes);
    EXPECT_GE(shortest_gap(pll), 150000u);
    EXPECT_GE(vid, 150000u);

    // Down again, and the window closed while the VID steps: the codes keep their pace.
    timed.vid_writes.clear();
    main->main_tab.ShowVcore(vcore);
    main->main_tab.ButtonApply->click();
    ASSERT_TRUE(run_until([&] { return timed.vid_writes.size() >= 2; }, 5000));
    main->close();
    ASSERT_TRUE(run_until([this] { return !main->hardware_steps().busy_at_all(); }, 5000));
    EXPECT_EQ(timed.vid_writes.size(), 6u);
    const uint64_t vid_after_close = shortest_gap(timed.vid_writes);
    EXPECT_GE(vid_after_close, 150000u);
    EXPECT_NEAR(machine.world().vcore, vcore, 1e-9);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults[0];
    std::printf(
        "shortest gaps: PLL steps %.1f ms, VID codes %.1f ms, VID codes after a close "
        "%.1f ms\n",
        shortest_gap(pll) / 1000.0, vid / 1000.0, vid_after_close / 1000.0);
}

// An AutoFSB run of two 1 MHz steps with the slow change delay: between the two new PLL values
// lie the first step's 150 ms, the whole second of the delay and the second step's 150 ms.
TEST_F(WholeOperations, AnAutoFsbRunWaitsItsWholeStepDelay) {
    SimMachine machine{*sim_profile(7)};
    TimedWrites timed{machine};
    write_file("sensormap.ini", read_file(VELMORA_SOURCE_DIR "/data/sensormap.ini"));
    start(machine, timed, "\r\n[AutoFSB]\r\nMinFSB=166\r\nMaxFSB=168\r\nDelayChange=1000\r\n");
    main->autofsb_group.CheckBoxAutoFSB->setChecked(true);
    cpu_load.store(95);
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);  // arms
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);  // runs
    ASSERT_TRUE(main->autofsb_run_active);
    ASSERT_TRUE(run_until([this] { return !main->autofsb_run_active; }, 10000));
    EXPECT_EQ(main->values_applied.fsb, 168);
    ASSERT_EQ(timed.pll_steps.size(), 3u);  // the running clock, 167, 168
    const uint64_t gap = timed.pll_steps[2] - timed.pll_steps[1];
    EXPECT_GE(gap, 1300000u);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults[0];
    std::printf("AutoFSB: %.1f ms between two steps (150 + 1000 + 150 prescribed)\n", gap / 1000.0);
}

}  // namespace
