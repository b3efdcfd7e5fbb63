// SPDX-License-Identifier: GPL-2.0-or-later
// Our CPU time in the controllers' periodic work: one AutoFSB timer tick that checks and does
// not run (what nearly every tick is), the preset lookup of a run's step, and one AutoFAN step
// over five fan controls with their log lines. Each runs once per tick of seconds; on a 2003
// CPU they must stay far below a millisecond.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>

#include "automation/autofan.h"
#include "automation/autofsb.h"
#include "automation/presets.h"
#include "diag/debuglog.h"
#include "log_dir.h"

namespace {

AutoFsbState idle_state() {
    AutoFsbState s;
    s.min_fsb = 166;
    s.max_fsb = 200;
    s.max_load = 90;
    s.min_load = 10;
    s.max_delay = 15;
    s.min_delay = 30;
    s.max_temp = 60;
    s.temp = 45;
    s.load = 50;  // between the limits: neither side arms
    s.fsb = 183;
    return s;
}

void BM_AutoFsbTick(benchmark::State& state) {
    LogDir dir;
    AutoFsbState s = idle_state();
    for (auto _ : state) {
        benchmark::DoNotOptimize(autofsb_check(s, AUTOFSB_UP));
        benchmark::DoNotOptimize(autofsb_check(s, AUTOFSB_DOWN));
        if (state.iterations() % 4096 == 0)
            std::remove(kDebugLogName);
    }
}
BENCHMARK(BM_AutoFsbTick)->Unit(benchmark::kMicrosecond);

void BM_PresetStepLookup(benchmark::State& state) {
    presets_reset_state();
    for (int fsb = 166; fsb <= 204; fsb += 2)
        preset_add({static_cast<int16_t>(fsb), 1.6 + (fsb - 166) * 0.0025, 2.6});
    int at = 166;
    for (auto _ : state) {
        Preset p{};
        benchmark::DoNotOptimize(preset_find_nearest(at, &p, 1));
        at = at >= 203 ? 166 : at + 1;
    }
    presets_reset_state();
}
BENCHMARK(BM_PresetStepLookup)->Unit(benchmark::kNanosecond);

void BM_AutoFanUpdate(benchmark::State& state) {
    LogDir dir;
    autofan_reset_state();
    SensorControl winbond[4] = {{CONTROL_PWM, "", 11},
                                {CONTROL_PWM, "", 12},
                                {CONTROL_PWM_FREQ, "", 1},
                                {CONTROL_PWM_FREQ, "", 1}};
    SensorControl ite[4] = {{CONTROL_PWM, "", 21},
                            {CONTROL_PWM, "", 22},
                            {CONTROL_PWM, "", 23},
                            {CONTROL_FAN_ENABLE, "", 0}};
    SensorTable table{};
    table.sensors[0] = {"W83627HF", SENSOR_WINBOND, 3, 7, 3, 4, nullptr, nullptr, nullptr, winbond};
    table.sensors[1] = {"ITE8712F", SENSOR_ITE, 3, 9, 3, 4, nullptr, nullptr, nullptr, ite};
    table.count = 2;
    AutoFanList* list = nullptr;
    autofan_find(&table, table.count, &list);
    for (AutoFanEntry& e : list->entries) {
        e.enabled = 1;
        e.duty_min = 80;
        e.duty_max = 255;
    }
    int t = 30;
    for (auto _ : state) {
        benchmark::DoNotOptimize(autofan_update(list, &table, t));
        t = t >= 70 ? 30 : t + 1;
        if (state.iterations() % 4096 == 0)
            std::remove(kDebugLogName);
    }
    autofan_reset_state();
}
BENCHMARK(BM_AutoFanUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
