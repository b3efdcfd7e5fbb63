// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/stop_request.h"

#include <atomic>

namespace {
// Written from a signal handler, so it must not need a lock.
std::atomic<int> stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// Set and read on the GUI thread only.
bool action_end = false;
}  // namespace

void request_stop(int signal_number) noexcept {
    stop_signal.store(signal_number, std::memory_order_relaxed);
}

int stop_requested() noexcept {
    return stop_signal.load(std::memory_order_relaxed);
}

void clear_stop_request() noexcept {
    stop_signal.store(0, std::memory_order_relaxed);
}

void request_action_end() noexcept {
    action_end = true;
}

void clear_action_end() noexcept {
    action_end = false;
}

bool stop_pending() noexcept {
    return action_end || stop_requested() != 0;
}
