// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated CPU's stability: the highest clock it runs without errors rises with its core
// voltage along a straight line (25 MHz per 25 mV around 1.650 V). Changes of voltage and clock
// come in bursts (writes less than a second apart). A CPU that was stable before a burst,
// became unstable within it and is stable again at its end was put through a wrong order (the
// clock raised before its voltage, or the voltage lowered before the clock fell): a fault. A
// burst that ends unstable is the user's choice: a warning, counted apart from the faults.
#pragma once

#include <cstdint>

struct SimWorld;

inline constexpr double kStableMhzAt1650Mv = 2200.0;  // the default CPU's line at 1.650 V
inline constexpr double kStableMhzPerMv = 1.0;

// The highest stable clock at the world's core voltage, MHz.
double sim_cpu_stable_mhz(const SimWorld& w);
bool sim_cpu_stable(const SimWorld& w);

// After a write that may have changed the core voltage or the clock; stable_before is what
// sim_cpu_stable said before the write.
void sim_cpu_changed(SimWorld& w, bool stable_before, uint32_t now_ms);

// Ends the burst when a second has passed since its last write (always when force is set)
// and judges it.
void sim_cpu_burst_end(SimWorld& w, uint32_t now_ms, bool force);
