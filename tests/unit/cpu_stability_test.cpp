// The simulated CPU's stability over a change of voltage and clock: the program's order (the
// voltage up before the clock rises, down only after it fell) passes, each wrong order is a
// fault, and a change that ends unstable is a warning the state file counts.
#include "sim/cpu_stability.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/boards.h"
#include "board/fsb.h"
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

}  // namespace
