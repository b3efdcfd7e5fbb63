// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/shipped_files.h"

#include <sys/stat.h>

namespace {
bool is_there(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}
}  // namespace

std::string shipped_file_path(const std::string& name, const std::string& program_dir) {
    if (is_there(name) || program_dir.empty())
        return name;
    for (const std::string& candidate :
         {program_dir + "/" + name, program_dir + "/" + kInstalledDataDir + "/" + name})
        if (is_there(candidate))
            return candidate;
    return name;
}
