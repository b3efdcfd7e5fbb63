// SPDX-License-Identifier: GPL-2.0-or-later
// A request to stop long hardware work, made by a signal (SIGINT, SIGTERM, SIGHUP). The FSB
// walk looks at it between its 1 MHz steps and ends at a whole step; a command-line run then
// ends with 128 + the signal's number, as a shell reports a process the signal ended.
#pragma once

// Records the request. Async-signal-safe: a single lock-free atomic store.
void request_stop(int signal_number) noexcept;

// The number of the signal that asked to stop, 0 when none did.
int stop_requested() noexcept;

// The window's request to end the hardware action in progress after its current step (a
// close, or an Apply while an AutoFSB run steps). Not a signal: the process goes on.
void request_action_end() noexcept;
void clear_action_end() noexcept;

// Whether long hardware work should end after its current step: a signal or the window asked.
bool stop_pending() noexcept;

// Forgets the request once it has been handled (the window takes a signal as its close
// request), and for tests.
void clear_stop_request() noexcept;
