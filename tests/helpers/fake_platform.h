// A platform whose every answer a test scripts, and which records what it was asked to do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

// Thrown by FakePlatform::exit_process so a test can see that, and with which code, the
// process would have ended at that point.
struct ProcessExit {
    int code;
};

class FakePlatform : public Platform {
  public:
    OsFamily os_family() override { return family; }
    bool query_windows_platform_id(uint32_t& platform_id) override;
    std::vector<std::string> top_level_window_titles() override { return titles; }
    uint32_t last_error() override { return error_number; }
    std::string error_message(uint32_t code) override;
    [[noreturn]] void exit_process(int code) override;

    OsFamily family = OsFamily::Linux;
    std::optional<uint32_t> windows_platform_id;  // nullopt: the version query fails
    std::vector<std::string> titles;
    uint32_t error_number = 0;
    std::vector<std::pair<uint32_t, std::string>> messages;  // error number -> system text
    std::vector<int> exits;
};

// Installs a platform for the lifetime of the object and puts the built-in one back after.
class ScopedPlatform {
  public:
    explicit ScopedPlatform(Platform& p) { install_platform(&p); }
    ~ScopedPlatform() { install_platform(nullptr); }
};
