#include "platform/platform.h"

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
std::vector<std::function<void()>>& exit_hooks() {
    static std::vector<std::function<void()>> hooks;
    return hooks;
}
}  // namespace

void add_exit_hook(std::function<void()> hook) {
    exit_hooks().push_back(std::move(hook));
}

void run_exit_hooks() {
    // Taken out first, so a hook that ends the process again cannot run twice.
    std::vector<std::function<void()>> hooks;
    hooks.swap(exit_hooks());
    for (auto& hook : hooks)
        hook();
}

std::string system_error_text() {
    Platform& os = current_platform();
    return os.error_message(os.last_error());
}
