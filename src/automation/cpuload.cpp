// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/cpuload.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "diag/debuglog.h"
#include "platform/platform.h"

std::atomic<int32_t> cpu_load{0};

namespace {

// Readings that fail one after another before the sampler gives up; a single failed reading
// only skips its pass.
constexpr int kFailuresBeforeGivingUp = 10;

struct Sampler {
    std::atomic<std::atomic<int32_t>*> target{&cpu_load};
    std::atomic<int64_t> interval_ms{5000};
    std::atomic<bool> running{false};
    std::atomic<uint64_t> passes{0};

    // Guards the two fields below, which end or reshape the sampler's sleep.
    std::mutex mutex;
    std::condition_variable_any wake;
    uint64_t retunes = 0;
    bool wake_pending = false;

    std::jthread thread;  // started, retuned and stopped on the controlling thread only
};

Sampler& sampler() {
    static Sampler s;
    return s;
}

// Sleeps one interval from now. A retune during the sleep moves its end to the start plus the
// new interval; a stop request or a test wake ends it at once.
void sleep_interval(Sampler& s, const std::stop_token& stop) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock lock(s.mutex);
    while (!stop.stop_requested() && !s.wake_pending) {
        const auto end = start + std::chrono::milliseconds(s.interval_ms.load());
        const uint64_t retunes = s.retunes;
        if (!s.wake.wait_until(lock, stop, end,
                               [&] { return s.wake_pending || s.retunes != retunes; }))
            break;  // the interval passed, or a stop was requested
    }
    s.wake_pending = false;
}

void sample(std::stop_token stop) {
    Sampler& s = sampler();
    bool have_previous = false;
    uint64_t previous_time = 0, previous_idle = 0;
    int failures = 0;
    while (!stop.stop_requested()) {
        uint64_t time = 0, idle = 0;
        if (current_platform().system_times(time, idle)) {
            failures = 0;
            int32_t load = 0;
            if (have_previous &&
                cpuload_from_samples(previous_idle, previous_time, idle, time, load))
                s.target.load()->store(load);
            // A skipped pair still becomes the base, so counters that were reset or a clock
            // that was set back are measured again from the next pass on.
            previous_time = time;
            previous_idle = idle;
            have_previous = true;
        } else if (++failures >= kFailuresBeforeGivingUp) {
            s.target.load()->store(0);
            debug_print("CPULOAD: system times not available, load measurement stopped\n");
            s.passes.fetch_add(1);
            s.running = false;
            return;
        }
        s.passes.fetch_add(1);
        sleep_interval(s, stop);
    }
    s.running = false;
}

}  // namespace

bool cpuload_from_samples(uint64_t previous_idle, uint64_t previous_time, uint64_t idle,
                          uint64_t time, int32_t& load) {
    // Differences of cumulative counters, negative when a counter stepped back.
    const auto idle_delta = static_cast<int64_t>(idle - previous_idle);
    const auto time_delta = static_cast<int64_t>(time - previous_time);
    if (time_delta <= 0 || idle_delta < 0)
        return false;
    const double busy =
        static_cast<double>(time_delta - idle_delta) * 100.0 / static_cast<double>(time_delta);
    load = static_cast<int32_t>(std::clamp(busy, 0.0, 100.0) + 0.5);
    return true;
}

int cpuload_start(std::atomic<int32_t>& result, int seconds) {
    if (seconds < 1) {
        debug_print("CPULOAD: Updaterate to small\n");
        return 0;
    }
    Sampler& s = sampler();
    s.target = &result;
    {
        std::lock_guard lock(s.mutex);
        s.interval_ms = static_cast<int64_t>(seconds) * 1000;
        ++s.retunes;
    }
    s.wake.notify_all();
    if (s.thread.joinable()) {
        if (s.running)
            return 1;
        s.thread.join();  // it gave up; a new thread tries again
    }
    {
        std::lock_guard lock(s.mutex);
        s.wake_pending = false;
    }
    s.running = true;
    try {
        s.thread = std::jthread(sample);
    } catch (const std::exception&) {
        s.running = false;
        debug_print("CPULOAD: thread creation failed\n");
        return 0;
    }
    const auto id = static_cast<uint32_t>(std::hash<std::thread::id>{}(s.thread.get_id()));
    debug_print("CPULOAD: thread created, id: %x, update: %d\n", id, s.interval_ms.load());
    return 1;
}

void cpuload_stop() {
    Sampler& s = sampler();
    if (!s.thread.joinable())
        return;
    s.thread.request_stop();
    s.thread.join();
    s.running = false;
}

bool cpuload_running() {
    return sampler().running;
}

int64_t cpuload_interval_ms() {
    return sampler().interval_ms;
}

uint64_t cpuload_passes() {
    return sampler().passes;
}

void cpuload_wake_for_test() {
    Sampler& s = sampler();
    {
        std::lock_guard lock(s.mutex);
        s.wake_pending = true;
    }
    s.wake.notify_all();
}
