// SPDX-License-Identifier: GPL-2.0-or-later
// What every fuzz target needs: a private working directory for the files it writes, and a
// check that ends the run with a message when an invariant breaks.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// Makes a private working directory, on a RAM disk where there is one (every write is
// fsynced), the current one; it is removed at exit. False when none could be made.
inline bool fuzz_enter_work_dir() {
    namespace fs = std::filesystem;
    static std::string work_dir;
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "velmora-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return false;
    work_dir = pattern;
    fs::current_path(work_dir);
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(work_dir, ec);
    });
    return true;
}

inline void fuzz_check(bool ok, const char* subject, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "%s invariant broken: %s\n", subject, what);
    std::abort();
}
