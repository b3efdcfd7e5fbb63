// SPDX-License-Identifier: GPL-2.0-or-later
// config.ini, the main settings file: the stored numbers, their defaults, the load rules that
// bring them into range, and the save of every key in its fixed order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

inline constexpr const char* kMainSettingsFile = "config.ini";

// The settings as config.ini holds them (all decimal integers but the CSV file's name).
// Defaults are those a missing key leaves.
struct MainSettings {
    // [Main] (Board is the window's board number and is read by the board choice)
    int32_t reset = 0;
    int32_t load_update = 5;  // seconds
    int32_t minimized = 0;
    // [AutoFSB]
    int32_t autofsb_enable = 0;
    int32_t max_fsb = 166;  // MHz
    int32_t min_fsb = 166;
    int32_t max_load = 90;  // percent
    int32_t min_load = 10;
    int32_t max_delay = 15;  // seconds
    int32_t min_delay = 30;
    int32_t delay_change = 0;  // milliseconds between AutoFSB steps
    int32_t max_temp = 45;     // degrees Celsius
    int32_t down_mt = 1;
    // [Sensor]
    int32_t update = 5;  // seconds, 0 = no sensor updates
    int32_t port80 = 0;
    int32_t port80_type = 0;  // 0 CPU, 1 SYS
    // [AutoFAN]
    int32_t autofan_enable = 0;
    // [History] CsvFile: the file each sensor tick appends its readings to; empty: none.
    std::string csv_file;
    bool csv_file_stored = false;  // config.ini has the key
    // config.ini's key is longer than a value read can be: not used, and not written over
    // unless the user sets another name.
    bool csv_file_too_long = false;
    // [Alarms] CpuLimit, SysLimit: the temperatures (°C) whose passing is told; 0 = off.
    int32_t cpu_limit = 0;
    int32_t sys_limit = 0;
    bool alarms_stored = false;  // config.ini has the section's keys
};

// The highest temperature limit an alarm takes.
inline constexpr int32_t kAlarmLimitTop = 127;

// Everything a save writes, gathered by the window from its controls and memory.
struct SavedSettings {
    int32_t board = 255;
    MainSettings main;
    int32_t chipset_load = 0;
    uint8_t auto_precharge = 0, stpgnt = 0, agp_sba = 0, agp_aperture = 0;
    uint8_t pci_bus_latency = 0, agp_bus_latency = 0, agp_ctr_latency = 0;
};

// Reads a key of config.ini that holds a whole number. A value that is not one (nan, 1e300,
// 12abc, past the 32-bit range) is refused with a log line and `value` keeps what it held, so
// the key's default stands. True when a number was taken.
bool read_whole_number(const char* section, const char* key, int32_t& value);

// Sets every default, then reads the keys in their fixed order; a key replaces its default
// only when present. A missing or unreadable file leaves the defaults.
void load_main_settings(MainSettings& settings);

// Brings the loaded numbers into their ranges, in the fixed order. current_fsb is asked only
// when an FSB limit needs it.
void apply_load_rules(MainSettings& settings, const std::function<int32_t()>& current_fsb);

// A stored sensor period outside 0..60 shows and runs as 5 seconds.
int32_t validated_update(int32_t update);

// A run without a board never showed the controls of the sensor, chipset and AutoFAN settings:
// what config.ini holds for them is kept (each key present replaces the value in `saved`), so
// that such a run does not overwrite them with what the hidden controls happen to hold.
void keep_stored_board_settings(SavedSettings& saved);

// Writes every key, from [Main] Board to [Chipset] AGPCtrLatency, in one write of config.ini
// that leaves the bytes and log lines of one write per key; then [History] CsvFile, once it
// names a file or config.ini has it (a file that never named one keeps its bytes), and
// [Alarms] CpuLimit and SysLimit the same way. False when the file could not be
// written (the file engine has logged it); `failure` then receives the reason.
bool save_main_settings(const SavedSettings& saved, std::string* failure = nullptr);
