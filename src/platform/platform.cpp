#include "platform/platform.h"

#ifdef _WIN32
#include "platform/windows_platform.h"
using NativePlatform = WindowsPlatform;
#else
#include "platform/linux_platform.h"
using NativePlatform = LinuxPlatform;
#endif

namespace {
Platform* installed = nullptr;
}

Platform& current_platform() {
    if (installed)
        return *installed;
    static NativePlatform native;
    return native;
}

void install_platform(Platform* platform) {
    installed = platform;
}
