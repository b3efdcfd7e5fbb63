// SPDX-License-Identifier: GPL-2.0-or-later
// How the board's rails reach the monitor chips' 8-bit converters (4.096 V full scale, 16 mV
// per count); the 5 V and 12 V inputs sit behind dividers.
#pragma once

#include "sim/sim_world.h"

inline constexpr double kAdcLsb = 0.016;
inline constexpr double kAdcLsb5V = 0.016 * 1.68;  // 0.02688
inline constexpr double kAdcLsb12V = 0.016 * 3.8;  // 0.0608

// One converter input: the rail it measures and its volts per count.
struct VoltageInput {
    double SimWorld::*rail;
    double volts_per_count;
};
