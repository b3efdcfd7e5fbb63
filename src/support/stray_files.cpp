// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/stray_files.h"

#include <sys/stat.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <system_error>

namespace {

constexpr const char kMark[] = ".velmora-new-";
constexpr size_t kSuffixLength = 6;  // the XXXXXX of mkstemp

bool is_new_file_name(const std::string& name) {
    const size_t at = name.rfind(kMark);
    if (at == std::string::npos || at == 0)
        return false;
    const size_t suffix = at + sizeof kMark - 1;
    if (name.size() - suffix != kSuffixLength)
        return false;
    for (size_t i = suffix; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

}  // namespace

int remove_stray_new_files(const std::string& folder) {
    // Called at start, before this run saves anything: what is there is older than the run.
    const auto started = std::filesystem::file_time_type::clock::now();
    std::error_code error;
    int removed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (!is_new_file_name(name))
            continue;
        const std::string path = entry.path().string();
#ifdef _WIN32
        struct _stat64 st {};
        if (_stat64(path.c_str(), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
            continue;
#else
        struct stat st {};
        // lstat: a link with such a name is not ours to follow or remove.
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
#endif
        if (entry.last_write_time(error) >= started || error)
            continue;
        if (std::filesystem::remove(entry.path(), error))
            ++removed;
    }
    return removed;
}
