// Telling a second copy apart, and the operating-system family.
#pragma once

#include <string>

// "velmora <version>": the prefix of the main window's caption while a board is in use.
std::string instance_key();

// Whether a top-level window of the desktop has a title that begins with the key (byte for
// byte, case-sensitive; titles are looked at up to 255 characters, empty ones skipped).
bool is_already_running(const std::string& key);

// Whether the system is of the Windows NT family.
bool is_windows_nt();
