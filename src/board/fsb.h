// SPDX-License-Identifier: GPL-2.0-or-later
// The front-side bus of the nForce2: read the running clock and move it by reprogramming the
// host bridge's PLL (bus 0, device 0) one MHz at a time.
#pragma once

#include <cstdint>
#include <string>

// The FSB in MHz that PLL multiplier n and divider m make of the 25.06 MHz reference clock,
// truncated toward zero; 0 when m is 0.
int pll_to_fsb(uint32_t n, uint32_t m);

// The PLL register value (bit 20 set, N in bits 8-15, M in bits 0-7) whose FSB is the target,
// or failing that the target plus 1, 2 or 3 MHz; among the settings that give it, the one with
// the largest M and then the largest N. 0 when there is none.
uint32_t find_pll(int fsb_mhz);

// Programs the PLL with one value (see the definition for the write pattern).
void write_pll(uint32_t pll_value);

// The running FSB in MHz: the clock the BIOS set at boot, or what the PLL register makes once
// velmora has taken the PLL over during this boot.
int get_fsb();

// Moves the FSB to the target (50..300 MHz) in 1 MHz steps 150 ms apart, taking the PLL over
// first if needed. 0 done, 1 no PLL setting for a step (the FSB stays at the last step
// written), 2 target out of range (nothing touched), 3 stopped on request (stop_requested()
// was set during the walk: the FSB stays at the last step written, which the log names),
// FSB_REFUSED while another driver drives the clock (nothing touched).
int set_fsb(int fsb_mhz);
inline constexpr int FSB_REFUSED = 4;

// Another driver drives the clock (the kernel's cpufreq nforce2 writes the same PLL registers):
// set_fsb changes nothing while `driver` is not empty, and logs who holds the clock.
void fsb_held_by(const std::string& driver);
const std::string& fsb_holder();

// Where a walk of set_fsb is: the last step written and the target, in MHz; both 0 while no
// walk is in progress. The window shows it while the walk steps.
struct FsbWalkProgress {
    int at = 0;
    int target = 0;
};
FsbWalkProgress fsb_walk_progress();

// Back to the state of a fresh process (no boot FSB seen yet), for tests.
void fsb_reset_state();
