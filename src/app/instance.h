// SPDX-License-Identifier: GPL-2.0-or-later
// Telling a second copy apart, the first lines of every run's log, and the operating-system
// family.
#pragma once

#include <string>

// "velmora <version>": the prefix of the main window's caption while a board is in use.
std::string instance_key();

// Whether a top-level window of the desktop has a title that begins with the key (byte for
// byte, case-sensitive; titles are looked at up to 255 characters, empty ones skipped).
bool is_already_running(const std::string& key);

// The first lines of a run's log: a rule of 47 '=' and the version.
void log_banner();

// The log line of a second copy, which then ends with exit code 1.
void log_already_running();

// What a second copy found by its window title says on standard error and in a box.
std::string already_running_text();

// Whether the system is of the Windows NT family.
bool is_windows_nt();
