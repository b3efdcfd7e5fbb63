#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

void RealClock::sleep_ms(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t RealClock::now_ms() {
#ifdef CLOCK_BOOTTIME
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
