// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/standby.h"

#include "diag/debuglog.h"
#include "platform/clock.h"

namespace {
bool have_previous = false;
uint32_t previous_ms = 0;
}  // namespace

int standby_detect(uint32_t max_seconds) {
    const uint32_t now = current_clock().now_ms();
    if (!have_previous) {
        have_previous = true;
        previous_ms = now;
        return 0;
    }
    const uint32_t gap = (now - previous_ms) / 1000;
    // A whole second less than the gap: ticks a little late never count.
    const uint32_t seconds = gap == 0 ? 0 : gap - 1;
    previous_ms = now;
    if (seconds <= max_seconds)
        return 0;
    debug_print("ENUM: Time diff: %ds, should be max %ds\n", static_cast<int>(seconds),
                static_cast<int>(max_seconds));
    return 1;
}

void standby_reset() {
    have_previous = false;
}
