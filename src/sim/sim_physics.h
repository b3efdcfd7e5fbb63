// SPDX-License-Identifier: GPL-2.0-or-later
// How the simulated board's physical state moves with time: the CPU heats with its power
// (Vcore squared times clock times load) and cools through its fan, the case follows more
// slowly, and the fans spin up or down toward their PWM duty.
#pragma once

#include "sim/sim_world.h"

// Time constants, seconds.
inline constexpr double kCpuThermalTau = 30.0;
inline constexpr double kCaseThermalTau = 120.0;
inline constexpr double kFanSpinTau = 2.0;

// The CPU's power draw in watts: about 18 W idle and 60 W busy for a Barton at 1.65 V and
// 1826 MHz.
double sim_cpu_power(const SimWorld& world);

// The temperature the CPU would settle at under the present power and fan speed.
double sim_cpu_steady_temp(const SimWorld& world);

// Advances the world by dt seconds (any length: each quantity moves exponentially toward its
// settling value, so long gaps are exact).
void sim_physics_step(SimWorld& world, double dt_seconds);

// The settled state at power-on: temperatures and fans where they would be after a while.
void sim_physics_settle(SimWorld& world);
