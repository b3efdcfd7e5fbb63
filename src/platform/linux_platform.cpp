#include "platform/linux_platform.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool LinuxPlatform::query_windows_platform_id(uint32_t& /*platform_id*/) {
    return false;
}

std::vector<std::string> LinuxPlatform::top_level_window_titles() {
    return x11_top_level_window_titles();
}

uint32_t LinuxPlatform::last_error() {
    return static_cast<uint32_t>(errno);
}

std::string LinuxPlatform::error_message(uint32_t code) {
    if (code == 0)
        return {};
    char buf[256];
    // The GNU strerror_r returns the text, which may or may not be placed in buf.
    const char* text = strerror_r(static_cast<int>(code), buf, sizeof buf);
    return text ? std::string(text) : std::string();
}

void LinuxPlatform::exit_process(int code) {
    std::fflush(nullptr);
    _exit(code);
}
