// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/shipped_files.h"

#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <climits>

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

std::string program_folder() {
    std::string path;
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer)
        path.assign(buffer, length);
    for (char& c : path)
        if (c == '\\')
            c = '/';
#else
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length > 0 && static_cast<size_t>(length) < sizeof buffer)
        path.assign(buffer, static_cast<size_t>(length));
#endif
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
