// SPDX-License-Identifier: GPL-2.0-or-later
// The window's own cost: one Apply that changes nothing, on the simulated board, with a clock
// that does not wait (only the CPU time of our code counts).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/prompts.h"
#include "automation/cpuload.h"
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

// Counts the paint events the window's widgets receive.
class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    long paints = 0;
};

// One sensor tick of the shown window on the simulated Epox board: the readings, the fields,
// the clock and load display, the tray hint, and the repaints it causes. The load changes at
// every tick, as it does on a busy machine. Reports the paint events per tick beside the CPU
// time.
void BM_SensorTickOfTheShownWindow(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "velmora-tick-bench";
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
        main.show();
        QApplication::processEvents();
        PaintCounter counter;
        qApp->installEventFilter(&counter);
        int load = 0;
        for (auto _ : state) {
            cpu_load.store(load = (load + 37) % 100);
            clock.now += 1000;
            main.UpdateSensor(main.Timer1);
            QApplication::processEvents();
        }
        qApp->removeEventFilter(&counter);
        state.counters["paints_per_tick"] =
            benchmark::Counter(static_cast<double>(counter.paints) / state.iterations());
    }
    cpu_load.store(0);
    install_port_backend(nullptr);
    install_clock(nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SensorTickOfTheShownWindow);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
