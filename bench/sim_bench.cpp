// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated machine's cost per port access (tests and the demo must never wait on the
// simulation: it has to stay far below a microsecond), of saving its state file, and of
// loading one that grew large (its cost has to grow with the size, not faster).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench_world.h"
#include "hw/pci.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

void BM_SimPciDwordRead(benchmark::State& state) {
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    machine.set_cpu_load(0.5);
    install_port_backend(&machine);
    uint32_t cell = 0;
    for (auto _ : state) {
        pci_config_read(0, 0, 1, 0x90, cell, 4);
        benchmark::DoNotOptimize(cell);
    }
    install_port_backend(nullptr);
    state.SetItemsProcessed(state.iterations() * 2);  // port accesses
}
BENCHMARK(BM_SimPciDwordRead);

void BM_SimSmbusVidRead(benchmark::State& state) {
    NullClock clock;
    install_clock(&clock);
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    machine.set_cpu_load(0.5);
    install_port_backend(&machine);
    for (auto _ : state)
        benchmark::DoNotOptimize(smbus_read_byte(0, 0x37, 0));
    install_port_backend(nullptr);
    install_clock(nullptr);
    state.SetItemsProcessed(state.iterations() * 5);  // port accesses, each with 50 ms of physics
}
BENCHMARK(BM_SimSmbusVidRead);

void BM_SimMonitorRead(benchmark::State& state) {
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    machine.set_cpu_load(0.5);
    install_port_backend(&machine);
    for (auto _ : state) {
        port_out8(0x20, 0x295);
        benchmark::DoNotOptimize(port_in8(0x296));
    }
    install_port_backend(nullptr);
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_SimMonitorRead);

void BM_SimSaveState(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "velmora-sim-bench";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "velmora-sim.ini").string();
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    for (auto _ : state)
        benchmark::DoNotOptimize(sim_save_state(machine, path));
    state.counters["file_bytes"] = static_cast<double>(machine.state_text().size());
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SimSaveState);

void BM_SimStateText(benchmark::State& state) {
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    for (auto _ : state)
        benchmark::DoNotOptimize(machine.state_text());
}
BENCHMARK(BM_SimStateText);

// A state file with N extra keys in its [World] section, as a script gone wrong might leave it.
void BM_SimLoadLargeStateText(benchmark::State& state) {
    SimMachine machine(*sim_profile(kDefaultSimProfile));
    std::string text = machine.state_text() + "\r\n[World]\r\n";
    for (int64_t i = 0; i < state.range(0); ++i)
        text += "extra" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    for (auto _ : state) {
        SimLoadReport report;
        machine.load_state_text(text, report);
        benchmark::DoNotOptimize(report);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));  // keys
    state.counters["file_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_SimLoadLargeStateText)->Arg(10000)->Arg(80000)->Unit(benchmark::kMillisecond);

}  // namespace
