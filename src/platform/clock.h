// SPDX-License-Identifier: GPL-2.0-or-later
// The one clock of every hardware wait and of the millisecond counter.
#pragma once

#include <cstdint>
#include <vector>

class Clock {
  public:
    virtual ~Clock() = default;
    // A fixed wait; the hardware interfaces need these exact pauses, never a poll.
    virtual void sleep_ms(uint32_t ms) = 0;
    // The wait inside one SMBus transaction, between its start and its status. It is always
    // slept: the transaction is one whole operation, and nothing else may touch the ports
    // before its status and data are read.
    virtual void bus_wait_ms(uint32_t ms) { sleep_ms(ms); }
    // Said by the hardware code right after a whole operation that waited on the bus (one SMBus
    // transaction). A clock that runs long work step by step may hand the thread back here for
    // a moment, but lets no other work touch the ports before the caller goes on: the caller
    // may be in the middle of a sequence (a register read, then written back).
    virtual void operation_done() {}
    // Milliseconds since an arbitrary start, counting on during suspend; wraps at 2^32.
    virtual uint32_t now_ms() = 0;
    // The same clock in microseconds, for deciding whether a wait has fully passed.
    virtual uint64_t now_us() { return uint64_t{now_ms()} * 1000u; }
};

// Sleeps for real; counts with CLOCK_BOOTTIME on Linux so that a standby shows as a gap.
class RealClock : public Clock {
  public:
    void sleep_ms(uint32_t ms) override;
    uint32_t now_ms() override;
    uint64_t now_us() override;
};

// Advances at once and remembers each wait, for tests and benchmarks.
class VirtualClock : public Clock {
  public:
    void sleep_ms(uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
    uint32_t now_ms() override { return now; }
    void advance(uint32_t ms) { now += ms; }

    std::vector<uint32_t> sleeps;
    uint32_t now = 0;
};

Clock& current_clock();
void install_clock(Clock* clock);  // nullptr restores the real clock
