// SPDX-License-Identifier: GPL-2.0-or-later
// The CPU load sampler: a thread of its own that measures the processors' load in percent every
// few seconds from the platform's cumulative system and idle times and stores it in cpu_load.
// The GUI thread only reads cpu_load; start, retune and stop come from the GUI thread alone.
#pragma once

#include <atomic>
#include <cstdint>

// The last measured load in percent, 0 (idle) to 100 (fully busy); 0 until the first
// measurement, which comes one interval after the start.
extern std::atomic<int32_t> cpu_load;

// Starts the sampler with the interval in seconds, storing its measurements in `result`
// (callers pass cpu_load; it must outlive the sampler). While the sampler runs, a further call
// only retunes it: the new target and interval apply from its next store and its current sleep
// on, the sleep then ending at its start plus the new interval (at once if that is past, so a
// shorter interval takes effect without waiting out the longer one). A sampler that gave up
// because the counters failed is replaced by a new thread. 1 when the sampler runs with these
// settings; 0 when the interval is below 1 second (nothing changes) or the thread cannot be
// created.
int cpuload_start(std::atomic<int32_t>& result, int seconds);

// Stops the sampler and waits for its thread to end; its sleep ends at once. Nothing happens
// when no sampler runs. cpu_load keeps its last value.
void cpuload_stop();

// True while the sampler thread runs (started and neither stopped nor given up).
bool cpuload_running();

// The interval in force, in milliseconds.
int64_t cpuload_interval_ms();

// The load over one interval from two readings of the cumulative idle and system times (any
// one unit): 100 − idle share × 100, rounded half up and kept within 0..100, since the idle
// time can run slightly ahead of the system time. False, with `load` untouched, when the
// system time did not advance or the idle time stepped back: such a pair measures nothing.
// An idle time that did not advance is valid and means fully busy.
bool cpuload_from_samples(uint64_t previous_idle, uint64_t previous_time, uint64_t idle,
                          uint64_t time, int32_t& load);

// For tests: the number of passes (counter readings) the sampler made since the program
// started, and an end to its current sleep as if the interval had passed (a wake given while
// it is busy ends its next sleep).
uint64_t cpuload_passes();
void cpuload_wake_for_test();
