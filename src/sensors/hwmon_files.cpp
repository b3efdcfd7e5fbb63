// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/hwmon_files.h"

#include <cstdio>
#include <cstdlib>

#include "hw/kernel_io.h"

int HwmonFiles::fd(const std::string& name) const {
    auto it = fds.find(name);
    return it == fds.end() ? -1 : it->second;
}

void hwmon_open(HwmonFiles& files, int index, const std::vector<std::string>& names) {
    hwmon_close(files);
    files.index = index;
    const std::string folder = "/sys/class/hwmon/hwmon" + std::to_string(index) + "/";
    for (const std::string& name : names) {
        int fd = kernel().open(folder + name, true);
        if (fd < 0)
            fd = kernel().open(folder + name, false);
        if (fd >= 0)
            files.fds[name] = fd;
    }
}

void hwmon_close(HwmonFiles& files) {
    for (const auto& [name, fd] : files.fds)
        kernel().close(fd);
    files.fds.clear();
    files.held.clear();
    files.index = -1;
}

bool hwmon_read(const HwmonFiles& files, const std::string& name, long& value) {
    const int fd = files.fd(name);
    if (fd < 0)
        return false;
    char text[32];
    const long got = kernel().pread(fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return false;
    text[got] = '\0';
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || (*end != '\n' && *end != '\0'))
        return false;
    value = number;
    return true;
}

bool hwmon_write(const HwmonFiles& files, const std::string& name, long value) {
    // pwm1_enable belongs to the output pwm1 as much as pwm1 does.
    if (files.held.count(name.substr(0, name.find('_'))))
        return false;
    const int fd = files.fd(name);
    if (fd < 0)
        return false;
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%ld", value);
    return kernel().pwrite(fd, text, static_cast<size_t>(n), 0) == n;
}

int hwmon_whole_degrees(long millidegrees) {
    return static_cast<int>(millidegrees >= 0 ? millidegrees / 1000
                                              : -((-millidegrees + 999) / 1000));
}
