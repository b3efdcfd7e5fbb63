// SPDX-License-Identifier: GPL-2.0-or-later
// A kernel hwmon device's attribute files (/sys/class/hwmon/hwmonN/temp1_input, pwm1, ...),
// for a monitor chip a kernel driver owns. Each file is opened once, at detection, while the
// process may still open them; a reading is a pread of the file's decimal text, a setting a
// pwrite of one. The kernel's units: millidegrees Celsius, millivolts, rpm, PWM 0-255.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct HwmonFiles {
    int index = -1;  // hwmonN; -1: the chip is reached through its ports
    std::map<std::string, int> fds;
    // Files of outputs another program drives (fancontrol): never written.
    std::set<std::string> held;

    bool active() const { return index >= 0; }
    bool has(const std::string& name) const { return fds.count(name) != 0; }
    // The descriptor of a file, -1 when the device does not have it.
    int fd(const std::string& name) const;
};

// Opens the files of the list that the device has, for writing where the kernel lets the
// process write them. Closes what the record held before.
void hwmon_open(HwmonFiles& files, int index, const std::vector<std::string>& names);
void hwmon_close(HwmonFiles& files);

// The file's number; false (value untouched) when it cannot be read or holds no number.
bool hwmon_read(const HwmonFiles& files, const std::string& name, long& value);
// Writes the number as text; false when the kernel refused it or the file is held.
bool hwmon_write(const HwmonFiles& files, const std::string& name, long value);

// Whole degrees from millidegrees, rounded down as the chips' whole-degree registers hold
// them (-500 is -1 degree with the half-degree bit set).
int hwmon_whole_degrees(long millidegrees);
