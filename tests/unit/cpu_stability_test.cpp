// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated CPU's stability over a change of voltage and clock: the program's order (the
// voltage up before the clock rises, down only after it fell) passes, each wrong order is a
// fault, and a change that ends unstable is a warning the state file counts.
#include "sim/cpu_stability.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/autofsb.h"
#include "automation/presets.h"
#include "board/boards.h"
#include "board/fsb.h"
#include "board/vid_chip.h"
#include "board/voltage.h"
#include "helpers/temp_dir.h"
#include "hw/port_access.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

using Strings = std::vector<std::string>;

class CpuStability : public ::testing::Test {
  protected:
    CpuStability() {
        install_clock(&clock);
        boards_init(boards);
        board = boards[7];
        fsb_reset_state();
        install_port_backend(&machine);
        // 166 x 11 = 1826 MHz at 1.650 V; 200 MHz (2200 MHz) needs 1.700 V on this CPU.
        machine.world().cpu_stable_mhz = 2150.0;
    }
    ~CpuStability() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }
    // One change as a burst: the writes, then a second without any.
    Strings change(bool vcore_first, double vcore, int fsb) {
        if (vcore_first) {
            EXPECT_EQ(set_vcore(board, vcore), 0);
            EXPECT_EQ(set_fsb(fsb), 0);
        } else {
            EXPECT_EQ(set_fsb(fsb), 0);
            EXPECT_EQ(set_vcore(board, vcore), 0);
        }
        clock.advance(1500);
        machine.state_text();
        Strings faults = machine.world().faults;
        machine.world().faults.clear();
        return faults;
    }

    TempWorkDir dir;
    VirtualClock clock;
    std::vector<Board> boards;
    Board board;
    SimMachine machine{*sim_profile(7)};
};

TEST_F(CpuStability, TheProgramsOrderPassesAndEachWrongOrderIsCaught) {
    EXPECT_EQ(change(true, 1.70, 200), Strings{});   // up: voltage, then clock
    EXPECT_EQ(change(false, 1.65, 166), Strings{});  // down: clock, then voltage
    EXPECT_EQ(change(false, 1.70, 200),
              Strings{"CPU unstable within a change: 2156 MHz at 1.650 V"});  // clock first
    EXPECT_EQ(change(true, 1.65, 166),
              Strings{"CPU unstable within a change: 2200 MHz at 1.650 V"});  // voltage first
    EXPECT_EQ(machine.world().unstable_settings, 0);

    // Ending unstable is the user's choice: counted and said, not a fault.
    EXPECT_EQ(change(true, 1.65, 200), Strings{});
    EXPECT_EQ(machine.world().unstable_settings, 1);
    EXPECT_NE(read_file("velmora.deb")
                  .find("SIM: warning: these settings would crash this CPU: 2200 MHz at 1.650 V\n"),
              std::string::npos);
    const std::string text = machine.state_text();
    EXPECT_NE(text.find("cpu_stable_mhz=2150"), std::string::npos);
    EXPECT_NE(text.find("unstable_settings=1"), std::string::npos);
}

// On every board whose core voltage can be set, the program's sequences, as Apply and the
// command line make them and as AutoFSB steps through presets up and down, pass a CPU that
// needs every millivolt: 200 MHz only at 1.700 V.
TEST(CpuStabilityEveryBoard, TheProgramsSequencesPassOnEveryProfile) {
    TempWorkDir dir;
    VirtualClock clock;
    install_clock(&clock);
    std::vector<Board> boards;
    boards_init(boards);
    int boards_tried = 0;
    for (int p = 0; p < kSimProfileCount && p < static_cast<int>(boards.size()); ++p) {
        SimMachine m(*sim_profile(p));
        install_port_backend(&m);
        fsb_reset_state();
        presets_reset_state();
        Board board = boards[p];
        if (board.chip.address == 0 && !vid_chip_search(board.chip))
            continue;
        m.world().cpu_stable_mhz = 200 * m.world().multiplier - 50.0;
        if (set_vcore(board, 1.70) != 0)
            continue;  // a board that cannot set 1.700 V
        ++boards_tried;
        EXPECT_EQ(set_fsb(200), 0);
        clock.advance(1500);
        EXPECT_EQ(set_fsb(166), 0);
        EXPECT_EQ(set_vcore(board, 1.65), 0);
        clock.advance(1500);

        preset_add({183, 1.675, 2.6});
        preset_add({200, 1.70, 2.6});
        AutoFsbState s;
        s.min_fsb = 166;
        s.max_fsb = 200;
        s.max_load = 90;
        s.min_load = 10;
        s.max_temp = 60;
        s.temp = 40;
        s.fsb = 166;
        s.vcore = 1.65;
        s.vdimm = 2.6;
        s.load = 95;
        s.up_armed = 1;
        EXPECT_EQ(autofsb_run(s, board), AUTOFSB_RUN_DONE) << p;
        clock.advance(1500);
        s.load = 5;
        s.down_armed = 1;
        EXPECT_EQ(autofsb_run(s, board), AUTOFSB_RUN_DONE) << p;
        m.state_text();
        EXPECT_TRUE(m.world().faults.empty()) << p << ": " << m.world().faults.front();
        EXPECT_EQ(m.world().unstable_settings, 0) << p;
        install_port_backend(nullptr);
    }
    EXPECT_GE(boards_tried, 6);
    presets_reset_state();
    install_clock(nullptr);
}

}  // namespace
