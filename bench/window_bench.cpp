// SPDX-License-Identifier: GPL-2.0-or-later
// The window's own cost: one Apply that changes nothing, on the simulated board, with a clock
// that does not wait (only the CPU time of our code counts).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/prompts.h"
#include "gui/main_window.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

class NullClock : public Clock {
  public:
    void sleep_ms(uint32_t ms) override { now += ms; }
    uint32_t now_ms() override { return now; }
    uint32_t now = 0;
};

class QuietPrompts : public Prompts {
  public:
    void show_message(const std::string&) override {}
    bool ask_yes_no(const std::string&, const std::string&) override { return false; }
};

void BM_ApplyWithNothingChanged(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "velmora-window-bench";
    std::filesystem::create_directories(dir);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    NullClock clock;
    install_clock(&clock);
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    machine.set_cpu_load(0);
    install_port_backend(&machine);
    QuietPrompts prompts;
    {
        TMain main(prompts, {});
        for (auto _ : state)
            main.Apply();
    }
    install_port_backend(nullptr);
    install_clock(nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ApplyWithNothingChanged);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
