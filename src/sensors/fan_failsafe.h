// SPDX-License-Identifier: GPL-2.0-or-later
// The fans' last word when the process dies abnormally (SIGQUIT, abort, an exception nobody
// caught): every fan AutoFAN drives is set to full speed before the process ends, since a fan
// left at a low duty with nothing watching the temperature may cook the CPU. A signal handler
// may do almost nothing, so the port writes are worked out beforehand, whenever AutoFAN's
// fans change, and the handler only replays them.
#pragma once

#include <cstdint>

// One write of the list: a byte to a port, or, where a kernel driver owns the chip, the value
// as decimal text to an attribute file opened beforehand (fd >= 0; the port is then unused).
struct PortWrite {
    uint16_t port;
    uint8_t value;
    int fd = -1;
};

inline constexpr int kFailsafeMaxWrites = 64;

// Replaces the writes to replay (at most kFailsafeMaxWrites; more are dropped). Called on the
// GUI thread only; a handler running meanwhile sees the old list or the new one, whole.
void fan_failsafe_set(const PortWrite* writes, int count);

// Replays the writes once per process, whoever calls first. Async-signal-safe on real ports.
void fan_failsafe_fire() noexcept;

// Installs the handlers for SIGQUIT and SIGABRT and the terminate handler; each fires, runs
// `after` (may be null; for the simulated board, which keeps its state in a file), then lets
// the process end as it would have.
void fan_failsafe_install(void (*after)());

// The list as it stands, for tests.
int fan_failsafe_count();
PortWrite fan_failsafe_write(int index);
