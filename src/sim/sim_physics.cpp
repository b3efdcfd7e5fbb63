// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/sim_physics.h"

#include <algorithm>
#include <cmath>

namespace {

// Watts per (V^2 x MHz): 1.65^2 x 1826 x 0.0121 = 60 W at full load.
constexpr double kPowerFactor = 0.0121;
// Share of the full power a CPU draws when idle (the Barton's halt state saves little).
constexpr double kIdleShare = 0.3;
// Thermal resistance of the cooler, K/W: best with the fan at full speed, worse as it slows.
constexpr double kCoolerResistanceFullFan = 0.55;
constexpr double kCoolerResistanceNoFan = 1.6;
// The case warms with the CPU's power.
constexpr double kCaseOffset = 4.0;
constexpr double kCaseResistance = 0.1;
// Below this duty a fan stalls; a stopped fan starts again only from the start duty.
constexpr int kFanStallDuty = 40;
constexpr int kFanStartDuty = 100;
constexpr double kFanStoppedRpm = 50.0;

double approach(double value, double target, double dt, double tau) {
    return target + (value - target) * std::exp(-dt / tau);
}

double fan_target_rpm(const SimWorld& w, int fan) {
    if (w.fan_duty[fan] < kFanStallDuty)
        return 0.0;
    if (w.fan_rpm[fan] < kFanStoppedRpm && w.fan_duty[fan] < kFanStartDuty)
        return 0.0;
    return w.fan_max_rpm[fan] * w.fan_duty[fan] / 255.0;
}

}  // namespace

double sim_cpu_power(const SimWorld& w) {
    const double load = std::clamp(w.cpu_load, 0.0, 1.0);
    return kPowerFactor * w.vcore * w.vcore * w.cpu_mhz() *
           (kIdleShare + (1.0 - kIdleShare) * load);
}

double sim_cpu_steady_temp(const SimWorld& w) {
    const double airflow =
        w.fan_max_rpm[0] > 0 ? std::clamp(w.fan_rpm[0] / w.fan_max_rpm[0], 0.0, 1.0) : 1.0;
    const double resistance =
        kCoolerResistanceNoFan + (kCoolerResistanceFullFan - kCoolerResistanceNoFan) * airflow;
    return w.sys_temp_c + resistance * sim_cpu_power(w);
}

void sim_physics_step(SimWorld& w, double dt) {
    if (!(dt > 0))
        return;
    for (int fan = 0; fan < SimWorld::kFans; ++fan)
        w.fan_rpm[fan] = approach(w.fan_rpm[fan], fan_target_rpm(w, fan), dt, kFanSpinTau);
    const double case_target = w.ambient_c + kCaseOffset + kCaseResistance * sim_cpu_power(w);
    w.sys_temp_c = approach(w.sys_temp_c, case_target, dt, kCaseThermalTau);
    w.cpu_temp_c = approach(w.cpu_temp_c, sim_cpu_steady_temp(w), dt, kCpuThermalTau);
}

void sim_physics_settle(SimWorld& w) {
    for (int fan = 0; fan < SimWorld::kFans; ++fan)
        w.fan_rpm[fan] = fan_target_rpm(w, fan);
    w.sys_temp_c = w.ambient_c + kCaseOffset + kCaseResistance * sim_cpu_power(w);
    w.cpu_temp_c = sim_cpu_steady_temp(w);
}
