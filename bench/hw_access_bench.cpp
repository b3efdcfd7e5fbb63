// SPDX-License-Identifier: GPL-2.0-or-later
// The cost of our own code per hardware access: an SMBus byte read and a PCI dword read
// through the scripted backend (which also records every access), with the virtual clock so the 50
// ms SMBus wait costs nothing. A real port access on the LPC bus takes about a microsecond; these
// figures show what velmora adds on top.
#include <benchmark/benchmark.h>

#include "hw/pci.h"
#include "hw/port_io.h"
#include "hw/scripted_port_backend.h"
#include "hw/smbus.h"
#include "platform/clock.h"

namespace {

void BM_SmbusReadByte(benchmark::State& state) {
    ScriptedPortBackend ports;
    ports.defaults[0x5101] = 0x80;
    ports.defaults[0x5104] = 0x0D;
    VirtualClock clock;
    install_port_backend(&ports);
    install_clock(&clock);
    for (auto _ : state) {
        benchmark::DoNotOptimize(smbus_read_byte(1, 0x37, 0));
        ports.accesses.clear();  // keeps its capacity: no allocation per round
        clock.sleeps.clear();
    }
    install_clock(nullptr);
    install_port_backend(nullptr);
    state.counters["port_accesses"] = 5;
}
BENCHMARK(BM_SmbusReadByte);

void BM_PciReadDword(benchmark::State& state) {
    ScriptedPortBackend ports;
    ports.defaults[0xCFC] = 0x70558000u;
    install_port_backend(&ports);
    uint32_t cell = 0;
    for (auto _ : state) {
        pci_config_read(0, 0, 1, 0x90, cell, 4);
        benchmark::DoNotOptimize(cell);
        ports.accesses.clear();
    }
    install_port_backend(nullptr);
    state.counters["port_accesses"] = 2;
}
BENCHMARK(BM_PciReadDword);

}  // namespace
