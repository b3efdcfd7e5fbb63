// The cost of our own code in the FSB change: the PLL search, which runs once per 1 MHz step
// between 150 ms pauses and must stay well below 1 % of a step (1.5 ms), and a whole 30 MHz
// set_fsb against the scripted ports with a clock that does not wait.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "board/fsb.h"
#include "hw/port_io.h"
#include "hw/scripted_port_backend.h"
#include "platform/clock.h"

namespace fs = std::filesystem;

namespace {

// A fresh working directory for the debug log that set_fsb writes, removed at the end.
class LogDir {
  public:
    LogDir() : previous_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        fs::current_path(dir_);
    }
    ~LogDir() {
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(dir_, ec);
    }

  private:
    fs::path previous_;
    fs::path dir_;
};

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

}  // namespace
