// The Linux platform: errno texts, process exit and, through X11, the desktop's window titles.
#pragma once

#include "platform/platform.h"

class LinuxPlatform : public Platform {
  public:
    OsFamily os_family() override { return OsFamily::Linux; }
    bool query_windows_platform_id(uint32_t& platform_id) override;
    std::vector<std::string> top_level_window_titles() override;
    uint32_t last_error() override;
    std::string error_message(uint32_t code) override;
    void exit_process(int code) override;
};

// The titles of the viewable top-level windows of the X11 display named by DISPLAY; none when
// there is no display.
std::vector<std::string> x11_top_level_window_titles();
