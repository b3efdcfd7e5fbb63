// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/cpu_stability.h"

#include <cstdio>

#include "diag/debuglog.h"
#include "sim/sim_world.h"

namespace {
constexpr uint32_t kBurstGapMs = 1000;

void describe(const SimWorld& w, char* text, size_t size, const char* what) {
    std::snprintf(text, size, "%s: %.0f MHz at %.3f V", what, w.cpu_mhz(), w.vcore);
}
}  // namespace

double sim_cpu_stable_mhz(const SimWorld& w) {
    return w.cpu_stable_mhz + (w.vcore * 1000.0 - 1650.0) * kStableMhzPerMv;
}

bool sim_cpu_stable(const SimWorld& w) {
    return w.vcore > 0.0 && w.cpu_mhz() <= sim_cpu_stable_mhz(w) + 1e-6;
}

void sim_cpu_changed(SimWorld& w, bool stable_before, uint32_t now_ms) {
    SimWorld::CpuBurst& b = w.cpu_burst;
    if (!b.open) {
        b = SimWorld::CpuBurst{};
        b.open = true;
        b.stable_at_start = stable_before;
    }
    b.last_ms = now_ms;
    if (!sim_cpu_stable(w) && !b.unstable_seen) {
        b.unstable_seen = true;
        describe(w, b.first_unstable, sizeof b.first_unstable, "CPU unstable within a change");
    }
}

void sim_cpu_burst_end(SimWorld& w, uint32_t now_ms, bool force) {
    SimWorld::CpuBurst& b = w.cpu_burst;
    if (!b.open || (!force && now_ms - b.last_ms < kBurstGapMs))
        return;
    b.open = false;
    if (!sim_cpu_stable(w)) {
        char text[96];
        describe(w, text, sizeof text, "these settings would crash this CPU");
        debug_print("SIM: warning: %s\n", text);
        ++w.unstable_settings;
        ++w.state_changes;
    } else if (b.stable_at_start && b.unstable_seen) {
        w.record_fault(b.first_unstable);
    }
}
