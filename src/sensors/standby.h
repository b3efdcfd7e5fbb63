// SPDX-License-Identifier: GPL-2.0-or-later
// Telling a standby from the gap between two sensor updates: the clock counts the time the
// machine was suspended, so a suspend shows as a gap far longer than the update period.
#pragma once

#include <cstdint>

// 1 when more than `max_seconds` passed since the previous call (logged with the whole
// seconds), 0 otherwise and on the first call.
int standby_detect(uint32_t max_seconds);

// The next call starts afresh: no gap before it counts.
void standby_reset();
