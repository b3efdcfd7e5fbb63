// SPDX-License-Identifier: GPL-2.0-or-later
// The window's own cost: one Apply that changes nothing, on the simulated board, with a clock
// that does not wait (only the CPU time of our code counts).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/prompts.h"
#include "automation/cpuload.h"
#include "bench_world.h"
#include "gui/main_window.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

// The window on a simulated board (the default one unless named), in a scratch folder, with a
// clock that never waits; everything put back at the end.
class WindowOnBoard {
  public:
    explicit WindowOnBoard(const char* folder, int profile = kDefaultSimProfile)
        : machine(*sim_profile(profile)),
          dir_(std::filesystem::temp_directory_path() / folder),
          previous_(std::filesystem::current_path()) {
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        install_clock(&clock);
        machine.set_cpu_load(0);
        install_port_backend(&machine);
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
    }
    ~WindowOnBoard() {
        main.reset();
        install_port_backend(nullptr);
        install_clock(nullptr);
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }

    NullClock clock;
    SimMachine machine;
    QuietPrompts prompts;
    std::unique_ptr<TMain> main;

  private:
    std::filesystem::path dir_, previous_;
};

void BM_ApplyWithNothingChanged(benchmark::State& state) {
    WindowOnBoard world("velmora-window-bench");
    for (auto _ : state)
        world.main->main_tab.Apply();
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

// One sensor tick of the shown window on a simulated Winbond board (the argument: the DFI,
// whose CPU temperature comes from an LM90 besides, the Epox and the Soltek): the readings, the
// fields, the clock and load display, the tray hint, and the repaints it causes. The load changes
// at every tick, as it does on a busy machine. Reports the paint events per tick beside the CPU
// time.
void BM_SensorTickOfTheShownWindow(benchmark::State& state) {
    WindowOnBoard world("velmora-tick-bench", static_cast<int>(state.range(0)));
    TMain& main = *world.main;
    main.show();
    QApplication::processEvents();
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    int load = 0;
    for (auto _ : state) {
        cpu_load.store(load = (load + 37) % 100);
        world.clock.now += 1000;
        main.UpdateSensor(main.Timer1);
        QApplication::processEvents();
    }
    qApp->removeEventFilter(&counter);
    state.counters["paints_per_tick"] =
        benchmark::Counter(static_cast<double>(counter.paints) / state.iterations());
    cpu_load.store(0);
}
BENCHMARK(BM_SensorTickOfTheShownWindow)->Arg(4)->Arg(7)->Arg(13);

}  // namespace
