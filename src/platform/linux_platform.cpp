// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/linux_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

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
    code = run_exit_hooks(code);
    std::fflush(nullptr);
    _exit(code);
}

ServiceHandle LinuxPlatform::open_service_manager() {
    errno = ENOSYS;
    return 0;
}

ServiceHandle LinuxPlatform::open_service(ServiceHandle, const std::string&) {
    errno = ENOSYS;
    return 0;
}

ServiceHandle LinuxPlatform::create_driver_service(ServiceHandle, const std::string&,
                                                   const std::string&, const std::string&) {
    errno = ENOSYS;
    return 0;
}

bool LinuxPlatform::start_service(ServiceHandle) {
    errno = ENOSYS;
    return false;
}

uint32_t LinuxPlatform::query_service_state(ServiceHandle) {
    return 0;
}

bool LinuxPlatform::delete_service(ServiceHandle) {
    errno = ENOSYS;
    return false;
}

void LinuxPlatform::close_service_handle(ServiceHandle) {}

bool LinuxPlatform::open_device(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::string LinuxPlatform::windows_directory(size_t) {
    return {};
}

std::string LinuxPlatform::current_directory(size_t max_chars) {
    std::vector<char> buf(max_chars + 1);
    if (!getcwd(buf.data(), buf.size()))
        return {};
    return buf.data();
}

bool LinuxPlatform::file_exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool LinuxPlatform::copy_file(const std::string& from, const std::string& to) {
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        errno = ec.value();
    return !ec;
}

bool parse_proc_stat(const std::string& text, long ticks_per_second, uint64_t& system_time,
                     uint64_t& idle_time) {
    if (text.compare(0, 4, "cpu ") != 0 || ticks_per_second <= 0)
        return false;
    std::istringstream line(text.substr(4, text.find('\n') - 4));
    uint64_t field = 0, total = 0, idle = 0;
    int n = 0;
    // user nice system idle iowait irq softirq steal (guest time is already in user)
    while (n < 8 && line >> field) {
        total += field;
        if (n == 3 || n == 4)
            idle += field;
        ++n;
    }
    if (n < 4)
        return false;
    const uint64_t units_per_tick = 10000000u / static_cast<uint64_t>(ticks_per_second);
    system_time = total * units_per_tick;
    idle_time = idle * units_per_tick;
    return true;
}

bool LinuxPlatform::system_times(uint64_t& system_time, uint64_t& idle_time) {
    std::ifstream in("/proc/stat");
    std::string first;
    if (!std::getline(in, first))
        return false;
    return parse_proc_stat(first, sysconf(_SC_CLK_TCK), system_time, idle_time);
}

bool LinuxPlatform::grant_port_access(const std::vector<PortRange>& ranges) {
#if defined(__x86_64__) || defined(__i386__)
    for (const PortRange& r : ranges)
        if (ioperm(r.first, r.count, 1) != 0)
            return false;
    return true;
#else
    errno = ENOSYS;
    return false;
#endif
}
