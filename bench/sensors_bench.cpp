// SPDX-License-Identifier: GPL-2.0-or-later
// One sensor update's read, sensors_read_all over the detected sensors, on the simulated board
// of each monitor chip: W83627HF (profile 7), W83782D (2), IT8712F (1), LM90 beside a Winbond
// chip (4 and 5 on bus 1, 10 on bus 0) and the BIOS's SMI sensor (12). The clock is virtual, so
// the time measured is the CPU time of the drivers, the port layer and the simulation; the
// waits the SMBus prescribes are reported as the counter wait_ms (per read), which the real
// program spends asleep on top.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "hw/port_io.h"
#include "log_dir.h"
#include "platform/clock.h"
#include "sensors/ite.h"
#include "sensors/lm90.h"
#include "sensors/port80.h"
#include "sensors/sensor.h"
#include "sensors/winbond.h"
#include "sim/sim_machine.h"

namespace {

void BM_SensorsReadAll(benchmark::State& state) {
    LogDir dir;
    VirtualClock clock;
    install_clock(&clock);
    SimMachine machine(*sim_profile(static_cast<int>(state.range(0))));
    machine.set_cpu_load(0.5);
    install_port_backend(&machine);
    sensors_reset_state();
    winbond_reset_state();
    ite_reset_state();
    lm90_reset_state();
    port80_reset_state();
    SensorTable& table = sensor_table();
    sensors_detect(&table);

    uint64_t waited_ms = 0;
    for (auto _ : state) {
        const uint32_t before = clock.now;
        sensors_read_all(&table);
        waited_ms += clock.now - before;
        clock.sleeps.clear();  // keeps its capacity: no allocation in the loop
    }

    std::string label = machine.profile().name;
    for (int i = 0; i < table.count; ++i)
        label +=
            std::string(i ? ", " : ": ") + (table.sensors[i].name ? table.sensors[i].name : "?");
    state.SetLabel(label);
    state.counters["wait_ms"] =
        benchmark::Counter(static_cast<double>(waited_ms), benchmark::Counter::kAvgIterations);
    state.counters["sensors"] = table.count;
    install_port_backend(nullptr);
    install_clock(nullptr);
    sensors_reset_state();
}
BENCHMARK(BM_SensorsReadAll)
    ->ArgName("profile")
    ->Arg(7)
    ->Arg(2)
    ->Arg(1)
    ->Arg(4)
    ->Arg(5)
    ->Arg(10)
    ->Arg(12)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
