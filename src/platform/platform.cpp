// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/platform.h"

#include "diag/debuglog.h"

#include <atomic>
#include <vector>

#ifdef _WIN32
#include "platform/windows_platform.h"
using NativePlatform = WindowsPlatform;
#else
#include "platform/linux_platform.h"
using NativePlatform = LinuxPlatform;
#endif

namespace {
// Read by the CPU load sampler's thread too.
std::atomic<Platform*> installed{nullptr};
}  // namespace

Platform& current_platform() {
    if (Platform* platform = installed.load())
        return *platform;
    static NativePlatform native;
    return native;
}

void install_platform(Platform* platform) {
    installed = platform;
}

namespace {
std::vector<std::function<int()>>& exit_hooks() {
    static std::vector<std::function<int()>> hooks;
    return hooks;
}
}  // namespace

void add_exit_hook(std::function<int()> hook) {
    exit_hooks().push_back(std::move(hook));
}

int run_exit_hooks(int code) {
    // Taken out first, so a hook that ends the process again cannot run twice.
    std::vector<std::function<int()>> hooks;
    hooks.swap(exit_hooks());
    for (auto& hook : hooks) {
        const int failed = hook();
        if (code == 0)
            code = failed;
    }
    // A line repeated up to the end still gets its count.
    debug_flush_repeats();
    return code;
}

std::string system_error_text() {
    Platform& os = current_platform();
    return os.error_message(os.last_error());
}
