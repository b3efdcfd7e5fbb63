// SPDX-License-Identifier: GPL-2.0-or-later
// The rights velmora gives up once it has what it needs. On real ports the I/O privilege
// level the grant gave is all it needs, and it keeps that without any capability; the
// simulated board needs no privilege at all.
#pragma once

#include <string>

// Gives up every capability. A process started as root (effective user 0) keeps CAP_CHOWN,
// CAP_DAC_OVERRIDE and CAP_FOWNER, so it can still replace its users' settings files and give
// them back their owner. Returns the log line that says what happened; empty when the process
// held no capability.
std::string drop_process_privileges();

// True for a process of root (real or effective user 0) or one holding any capability: such a
// process must not load code from places the environment names.
bool process_is_privileged();
