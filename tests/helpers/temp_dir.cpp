// SPDX-License-Identifier: GPL-2.0-or-later
#include "helpers/temp_dir.h"

#include <stdlib.h>

#include <cstdlib>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempWorkDir::TempWorkDir() : previous_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    fs::current_path(dir_);
}

TempWorkDir::~TempWorkDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    // Tests may leave read-only folders behind; give write access back before removing.
    for (auto& entry : fs::recursive_directory_iterator(dir_, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string golden(const std::string& name) {
    // VELMORA_GOLDEN_DIR in the environment points at a copy (for runs as another user).
    const char* dir = std::getenv("VELMORA_GOLDEN_DIR");
    fs::path p = fs::path(dir ? dir : VELMORA_GOLDEN_DIR) / name;
    if (!fs::exists(p))
        throw std::runtime_error("missing golden file " + p.string());
    return read_file(p);
}
