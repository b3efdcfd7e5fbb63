// SPDX-License-Identifier: GPL-2.0-or-later
// The physical side of the simulated nForce2 board: what its regulators, clocks, sensors and
// fans are doing right now. The device models read it to answer registers and change it when
// a register write changes the hardware.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SimWorld {
    // Rails, volts.
    double vcore = 1.65;
    double vdimm = 2.6;
    double vdd = 1.6;
    double vagp = 1.5;
    double v3_3 = 3.3;
    double v5 = 5.0;
    double v12 = 12.0;
    double v5sb = 5.0;
    double vbat = 3.1;

    // Clocks: the running FSB in MHz and the CPU's multiplier (clock = FSB x multiplier).
    double fsb_mhz = 166.0;
    double multiplier = 11.0;

    // Thermal state, degrees Celsius; CPU load 0..1.
    double ambient_c = 25.0;
    double cpu_temp_c = 40.0;
    double sys_temp_c = 30.0;
    double cpu_load = 0.0;

    // Fans: PWM duty 0..255 as the monitor drives them, and the resulting speed.
    static constexpr int kFans = 3;
    uint8_t fan_duty[kFans] = {255, 255, 255};
    double fan_rpm[kFans] = {3000.0, 2400.0, 0.0};  // fan 3 not connected
    double fan_max_rpm[kFans] = {3000.0, 2400.0, 0.0};

    // The CPU's stable-clock line: the highest stable clock at 1.650 V, MHz (cpu_stability.h),
    // the bursts of changes it is judged over, and how many ended unstable.
    double cpu_stable_mhz = 2200.0;
    struct CpuBurst {
        bool open = false;
        bool stable_at_start = true;
        bool unstable_seen = false;
        uint32_t last_ms = 0;
        char first_unstable[96] = {};
    } cpu_burst;
    int64_t unstable_settings = 0;

    // The core regulator is off (VID code 11111, "no CPU"): the PC has stopped and answers no
    // port until a power cycle (deleting the state file).
    bool stopped = false;

    // Things that would have harmed a real board, in the order they happened.
    std::vector<std::string> faults;

    // Counts what changed what the state file keeps (a write to a register a device stores, a
    // fault, a power cycle), so that the machine knows when its file lags behind.
    uint64_t state_changes = 0;

    double cpu_mhz() const { return fsb_mhz * multiplier; }

    // Notes a fault and logs it as "SIM: <text>".
    void record_fault(const std::string& text);
};
