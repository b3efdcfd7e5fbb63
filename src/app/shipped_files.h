// SPDX-License-Identifier: GPL-2.0-or-later
// Files that come with the program (the sensor maps of the supported boards). A copy in the
// working directory wins, so a user can keep an edited one beside the settings; otherwise the
// copy beside the program (a build tree, an unpacked archive) or in the installed data folder
// is used, so a start from any folder finds it.
#pragma once

#include <string>

// Where the installed data files lie, relative to the program's folder.
inline constexpr const char* kInstalledDataDir = "../share/velmora";

// The path to read `name` from: `name` itself when the working directory holds it, else
// `program_dir`/`name`, else `program_dir`/../share/velmora/`name`, each only when it is there.
// When none is, `name` itself, so that the reader reports the file missing under its own name.
std::string shipped_file_path(const std::string& name, const std::string& program_dir);

// The folder the running program lies in; empty when the system does not say.
std::string program_folder();
