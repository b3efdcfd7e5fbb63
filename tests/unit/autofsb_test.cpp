// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFSB: when a side arms and fires, and the runs it makes on the simulated Epox board.
#include "automation/autofsb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "board/fsb.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "helpers/temp_dir.h"
#include "hw/port_access.h"
#include "hw/stop_request.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

constexpr int kEpox = 7;

using Lines = std::vector<std::string>;

class AutoFsb : public ::testing::Test {
  protected:
    AutoFsb() {
        boards_init(boards);
        board = boards[kEpox];
        fsb_reset_state();
        presets_reset_state();
        install_clock(&clock);
        machine.set_cpu_load(0.0);
        install_port_backend(&machine);
        s.min_fsb = 166;
        s.max_fsb = 175;
        s.max_load = 90;
        s.min_load = 10;
        s.max_delay = 15;
        s.min_delay = 30;
        s.max_temp = 45;
        s.temp = 40;
        s.fsb = get_fsb();
        s.vcore = vid_to_voltage(8);  // 1.65 V as the chip gives it, not as "1.650" reads
        s.vdimm = 2.5;
    }
    ~AutoFsb() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
        fsb_reset_state();
        presets_reset_state();
    }
    // The engine's own log lines since the last call.
    Lines lines() {
        std::istringstream in(read_file(kDebugLogName));
        Lines out;
        std::string line;
        for (size_t n = 0; std::getline(in, line); ++n) {
            // The count of a repeated line belongs to the row before.
            if (n >= seen_ && line.rfind("AUTOFSB: ", 0) == 0 &&
                line.rfind("AUTOFSB: ... ", 0) != 0)
                out.push_back(line);
            seen_ = std::max(seen_, n + 1);
        }
        return out;
    }

    TempWorkDir dir;
    VirtualClock clock;
    SimMachine machine{*sim_profile(kEpox)};
    std::vector<Board> boards;
    Board board;
    AutoFsbState s;
    size_t seen_ = 0;
};

TEST_F(AutoFsb, ASideArmsOnTheFirstTickThatSeesItsConditionAndFiresOnALaterOne) {
    const struct {
        int direction, armed, load, temp, fsb;
        bool due;
        int armed_after;
        const char* message;  // after the check line, or ""
    } rows[] = {
        {AUTOFSB_UP, 0, 95, 40, 170, false, 1, "AUTOFSB: first time max. load reached"},
        {AUTOFSB_UP, 0, 90, 40, 170, false, 0, ""},  // equal is not above
        {AUTOFSB_UP, 0, 95, 45, 170, false, 0, ""},  // not below max temp
        {AUTOFSB_UP, 0, 95, 40, 175, false, 0, ""},  // at max FSB
        {AUTOFSB_UP, 0, -1, 40, 170, false, 0, ""},  // a load below 0 is no high load
        {AUTOFSB_UP, 1, 95, 50, 175, true, 1, "AUTOFSB: max. load for 15s reached"},
        {AUTOFSB_UP, 1, 90, 40, 170, false, 1, ""},
        {AUTOFSB_DOWN, 0, 5, 40, 170, false, 1, "AUTOFSB: first time min. load reached"},
        {AUTOFSB_DOWN, 0, -1, 40, 170, false, 1, "AUTOFSB: first time min. load reached"},
        {AUTOFSB_DOWN, 0, 10, 40, 170, false, 0, ""},  // equal is not below
        {AUTOFSB_DOWN, 0, 5, 40, 166, false, 0, ""},   // at min FSB
        {AUTOFSB_DOWN, 0, 50, 46, 170, false, 1, "AUTOFSB: max. CPU temp reached"},
        {AUTOFSB_DOWN, 0, 50, 46, 166, false, 0, ""},
        {AUTOFSB_DOWN, 1, 50, 46, 170, true, 1, "AUTOFSB: min. load for 30s reached"},
        {AUTOFSB_DOWN, 1, 5, 40, 166, true, 1, "AUTOFSB: min. load for 30s reached"},
        {AUTOFSB_DOWN, 1, 50, 45, 170, false, 1, ""},
    };
    for (const auto& r : rows) {
        debug_flush_repeats();  // each row's check line on its own
        AutoFsbState t = s;
        (r.direction == AUTOFSB_UP ? t.up_armed : t.down_armed) = r.armed;
        t.load = r.load;
        t.temp = r.temp;
        t.fsb = r.fsb;
        const std::string row = std::to_string(&r - rows);
        EXPECT_EQ(autofsb_check(t, r.direction), r.due) << row;
        EXPECT_EQ(r.direction == AUTOFSB_UP ? t.up_armed : t.down_armed, r.armed_after) << row;
        EXPECT_EQ(r.direction == AUTOFSB_UP ? t.down_armed : t.up_armed, 0) << row;
        Lines expected = {"AUTOFSB: check: 166-175, 10-90, 15-30, 45, " + std::to_string(r.load)};
        if (*r.message)
            expected.push_back(r.message);
        EXPECT_EQ(lines(), expected) << row;
    }
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_NO_RUN);
}

// Up: each preset's voltages before its FSB, the last preset clamped to the limit. Down: the
// FSB first, then the voltages. A Vcore equal to the millivolt is not set again.
TEST_F(AutoFsb, RunsStepThroughThePresetsWithTheVoltagesOnTheSafeSide) {
    preset_add({168, 1.65, 2.5});
    preset_add({170, 1.7, 2.63});
    preset_add({180, 1.75, 2.77});
    preset_add({160, 1.6, 2.5});
    s.load = 95;
    s.up_armed = 1;
    s.down_armed = 1;  // the up side is served first
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_RUN_DONE);
    EXPECT_EQ(lines(),
              (Lines{"AUTOFSB: maxreached", "AUTOFSB: Set to 168 done",
                     "AUTOFSB: Setting Vcore to 1.700 done", "AUTOFSB: Setting Vdimm to 2.630 done",
                     "AUTOFSB: Set to 170 done", "AUTOFSB: Setting Vcore to 1.750 done",
                     "AUTOFSB: Setting Vdimm to 2.770 done", "AUTOFSB: Set to 175 done"}));
    EXPECT_EQ(s.up_armed, 0);
    EXPECT_EQ(s.down_armed, 1);
    EXPECT_EQ(s.fsb, 175);
    EXPECT_DOUBLE_EQ(s.vcore, 1.75);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 175.0);
    EXPECT_NEAR(machine.world().vcore, 1.75, 1e-9);

    s.load = 5;
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_RUN_DONE);
    EXPECT_EQ(lines(),
              (Lines{"AUTOFSB: minreached", "AUTOFSB: Set to 170 done",
                     "AUTOFSB: Setting Vcore to 1.700 done", "AUTOFSB: Setting Vdimm to 2.630 done",
                     "AUTOFSB: Set to 168 done", "AUTOFSB: Setting Vcore to 1.650 done",
                     "AUTOFSB: Setting Vdimm to 2.500 done", "AUTOFSB: Set to 166 done",
                     "AUTOFSB: Setting Vcore to 1.600 done"}));
    EXPECT_EQ(s.down_armed, 0);
    EXPECT_EQ(s.fsb, 166);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 166.0);
    EXPECT_NEAR(machine.world().vcore, 1.6, 1e-9);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
}

TEST_F(AutoFsb, AFailedSettingEndsTheRunWithTheStateAsTheBoardRuns) {
    // An FSB the PLL cannot be set to: the run ends there, the state keeps the running FSB.
    preset_add({305, 1.7, 2.5});
    s.max_fsb = 310;
    s.load = 95;
    s.up_armed = 1;
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_FSB_FAILED);
    EXPECT_EQ(lines(), (Lines{"AUTOFSB: maxreached", "AUTOFSB: Setting Vcore to 1.700 done",
                              "AUTOFSB: Set to 305 failed!"}));
    EXPECT_EQ(s.fsb, 166);
    EXPECT_EQ(s.up_armed, 0);
    presets_reset_state();

    // Going down, no voltage falls under an FSB that did not.
    preset_add({45, 1.6, 2.5});
    s.min_fsb = 40;
    s.load = 5;
    s.down_armed = 1;
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_FSB_FAILED);
    EXPECT_EQ(lines(), (Lines{"AUTOFSB: minreached", "AUTOFSB: AutoFSB: Set to 45 failed!"}));
    EXPECT_EQ(s.fsb, 166);
    EXPECT_DOUBLE_EQ(s.vcore, 1.7);
    presets_reset_state();

    // A core voltage the board cannot set: the FSB is not raised on it, and the next run sets
    // the core voltage again before its first step, even one without a preset.
    preset_add({170, 2.21, 2.77});
    s.load = 95;
    s.up_armed = 1;
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_VCORE_FAILED);
    EXPECT_EQ(lines(), (Lines{"AUTOFSB: maxreached", "AUTOFSB: Setting Vcore failed",
                              "AUTOFSB: Setting Vdimm to 2.770 done"}));
    EXPECT_EQ(s.fsb, 166);
    EXPECT_DOUBLE_EQ(s.vcore, 1.7);
    EXPECT_EQ(s.vcore_unsettled, 1);
    presets_reset_state();
    s.max_fsb = 167;
    s.up_armed = 1;
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_RUN_DONE);
    EXPECT_EQ(lines(), (Lines{"AUTOFSB: maxreached", "AUTOFSB: Setting Vcore to 1.700 done",
                              "AUTOFSB: Set to 167 done"}));
    EXPECT_EQ(s.vcore_unsettled, 0);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 167.0);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
}

}  // namespace

namespace {

// After a run down for heat the up side waits until the CPU is 3 degrees under the ceiling;
// an up-run told of a hot reading, or asked to stop, ends after the step in progress.
TEST_F(AutoFsb, HeatHoldsTheWayUpUntilTheCpuHasCooledAndEndsARunningOne) {
    s.fsb = 170;
    s.temp = 46;
    s.load = 50;
    s.down_armed = 1;
    ASSERT_EQ(autofsb_run(s, board), AUTOFSB_RUN_DONE);
    ASSERT_EQ(s.fsb, 166);
    s.load = 95;
    for (int temp : {44, 43, 42}) {
        s.temp = temp;
        autofsb_check(s, AUTOFSB_UP);
        EXPECT_EQ(s.up_armed, temp <= 42 ? 1 : 0) << temp;
    }

    s.hot_during_run = 1;
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_RUN_DONE);
    EXPECT_EQ(s.fsb, 166);
    s.hot_during_run = 0;
    s.up_armed = 1;
    request_action_end();
    EXPECT_EQ(autofsb_run(s, board), AUTOFSB_STOPPED);
    clear_action_end();
    EXPECT_EQ(s.fsb, 166);
    const Lines said = lines();
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), "AUTOFSB: stopped at 166 MHz");
    EXPECT_TRUE(machine.world().faults.empty());
}

}  // namespace
