// SPDX-License-Identifier: GPL-2.0-or-later
// The cost of our own code in the FSB change: the PLL search, which runs once per 1 MHz step
// between 150 ms pauses and must stay well below 1 % of a step (1.5 ms), and a whole 30 MHz
// set_fsb against the scripted ports with a clock that does not wait. Likewise a core-voltage
// change, whose writes are 100 ms apart on the board.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/boards.h"
#include "board/fsb.h"
#include "board/voltage.h"
#include "hw/port_io.h"
#include "hw/scripted_port_backend.h"
#include "log_dir.h"
#include "platform/clock.h"

namespace {

// Returns at once and keeps nothing: only our own code is timed.
class NoWaitClock : public Clock {
  public:
    void sleep_ms(uint32_t) override {}
    uint32_t now_ms() override { return 0; }
};

void BM_FindPll(benchmark::State& state) {
    int target = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(target);
        benchmark::DoNotOptimize(find_pll(target));
    }
}
// 4000 MHz has no setting at all: all four rounds of the search run to the end.
BENCHMARK(BM_FindPll)
    ->Arg(133)
    ->Arg(166)
    ->Arg(200)
    ->Arg(250)
    ->Arg(300)
    ->Arg(4000)
    ->Unit(benchmark::kMicrosecond);

// 166 -> 196 MHz with the PLL already taken over: 31 steps of one search and 64 PLL writes,
// and the log line at the end.
void BM_SetFsb30Mhz(benchmark::State& state) {
    LogDir dir;
    const uint32_t pll166 = find_pll(166);
    ScriptedPortBackend ports;
    NoWaitClock clock;
    install_port_backend(&ports);
    install_clock(&clock);
    for (auto _ : state) {
        // Override flag, then twice the running clock (boot clock, flag, PLL value).
        ports.script[0xCFC] = {1, 166666666, 1, pll166, 166666666, 1, pll166};
        benchmark::DoNotOptimize(set_fsb(196));
        ports.accesses.clear();  // keeps its capacity: no allocation per round
    }
    install_clock(nullptr);
    install_port_backend(nullptr);
    fsb_reset_state();
    state.counters["steps"] = 31;
}
BENCHMARK(BM_SetFsb30Mhz)->Unit(benchmark::kMillisecond);

// Epox 8RDA+ from 1.650 V to 1.850 V reached through the add-on (1.86 V asked): seven register
// reads, the order of the writes worked out, fourteen writes.
void BM_SetVcoreThroughTheAddOn(benchmark::State& state) {
    LogDir dir;
    std::vector<Board> boards;
    boards_init(boards);
    ScriptedPortBackend ports;
    NoWaitClock clock;
    install_port_backend(&ports);
    install_clock(&clock);
    ports.defaults[0x5001] = 0x80;
    for (auto _ : state) {
        Board board = boards[7];
        ports.script[0x5004] = {0x28, 0x08, 0, 0, 0, 0x07, 0xFF};
        benchmark::DoNotOptimize(set_vcore(board, 1.86));
        ports.accesses.clear();
    }
    install_clock(nullptr);
    install_port_backend(nullptr);
}
BENCHMARK(BM_SetVcoreThroughTheAddOn)->Unit(benchmark::kMicrosecond);

}  // namespace
