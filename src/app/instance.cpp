// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/instance.h"

#include "app/version.h"
#include "diag/debuglog.h"
#include "platform/platform.h"

namespace {
constexpr size_t kTitleLimit = 255;  // a title is read into a 256-byte buffer
constexpr uint32_t kPlatformWin32Nt = 2;
}  // namespace

std::string instance_key() {
    return std::string("velmora ") + kVersionText;
}

bool is_already_running(const std::string& key) {
    for (std::string title : current_platform().top_level_window_titles()) {
        if (title.size() > kTitleLimit)
            title.resize(kTitleLimit);
        if (title.empty())
            continue;
        // A key that could not fit beside the title in the buffer matches no window.
        if (key.size() > kTitleLimit - 1)
            continue;
        if (title.compare(0, key.size(), key) == 0)
            return true;
    }
    return false;
}

void log_banner() {
    debug_print("===============================================\n");
    debug_print("VELMORA: Version %s\n", instance_key());
}

std::string already_running_text() {
    return "another copy of velmora is running on this desktop (a window titled \"" +
           instance_key() + "...\"); this one ends without touching the board";
}

void log_already_running() {
    debug_print("VELMORA: Already running! -> Exiting now...\n");
}

bool is_windows_nt() {
    Platform& os = current_platform();
    if (os.os_family() != OsFamily::Windows)
        return false;
    uint32_t platform_id = 0;
    if (!os.query_windows_platform_id(platform_id)) {
        debug_print("ENUM: Getting OS version info failed\n");
        return false;
    }
    return platform_id == kPlatformWin32Nt;
}
