// SPDX-License-Identifier: GPL-2.0-or-later
// A fresh working directory for the debug log that the code under measurement writes, made
// the current directory for the benchmark's lifetime and removed at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class LogDir {
  public:
    LogDir() : previous_(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        std::filesystem::current_path(dir_);
    }
    ~LogDir() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    LogDir(const LogDir&) = delete;
    LogDir& operator=(const LogDir&) = delete;

  private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};
