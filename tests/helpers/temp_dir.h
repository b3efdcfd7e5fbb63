// SPDX-License-Identifier: GPL-2.0-or-later
// Test helpers: a fresh working directory per test, and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <string>

// Creates a fresh directory under the system's temporary directory and makes it the current
// directory; the previous directory is restored and the new one removed at the end.
class TempWorkDir {
  public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    const std::filesystem::path& path() const { return dir_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

// The whole file as bytes; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& bytes);
bool file_exists(const std::filesystem::path& path);

// A file of the golden-file folder tests/golden.
std::string golden(const std::string& name);
