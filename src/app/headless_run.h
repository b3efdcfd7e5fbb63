// SPDX-License-Identifier: GPL-2.0-or-later
// A run that ends by itself, on the session alone: settings from the command line applied
// (-s, -f, ...), or the board printed (--read). No window is made; what the run has to say
// or ask goes through the prompts. The start is the window's (banner, port grant, board and
// values, the same log), the setting run and the read-out are the session's.
#pragma once

#include <string>
#include <vector>

#include "app/port_setup.h"

class Prompts;

// Whether the options ask for such a run: --read, or a setting option with a value and no
// "-h" or setting option left without its value (those show their text and open the window).
bool runs_without_window(const std::vector<std::string>& args);

// Runs it and ends the process through the platform with its exit code: 0 when every value
// was applied (or the board was read), 2 for a value or an option that was refused, 3 when a
// value could not be set or no board is known; a signal's 128 + its number.
void run_without_window(Prompts& prompts, std::vector<std::string> args, StartupNotes notes);
