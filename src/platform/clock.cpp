// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <mmsystem.h>
#endif

void RealClock::sleep_ms(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t RealClock::now_ms() {
#ifdef _WIN32
    // The multimedia clock keeps counting through a standby, which is what makes a suspend
    // show as a gap between two sensor updates.
    return timeGetTime();
#elif defined(CLOCK_BOOTTIME)
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
#else
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
#endif
}

uint64_t RealClock::now_us() {
#ifdef _WIN32
    return uint64_t{timeGetTime()} * 1000u;
#elif defined(CLOCK_BOOTTIME)
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
#else
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
#endif
}

namespace {
Clock* installed = nullptr;
}

Clock& current_clock() {
    if (installed)
        return *installed;
    static RealClock real;
    return real;
}

void install_clock(Clock* clock) {
    installed = clock;
}
