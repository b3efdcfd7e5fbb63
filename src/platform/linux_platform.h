// SPDX-License-Identifier: GPL-2.0-or-later
// The Linux platform: errno texts, process exit, port access through ioperm, the process's
// capabilities, lock files, the CPU counters of /proc/stat and, through X11, the desktop's
// window titles. Linux has no service control manager: those calls fail.
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

    ServiceHandle open_service_manager() override;
    ServiceHandle open_service(ServiceHandle manager, const std::string& name) override;
    ServiceHandle create_driver_service(ServiceHandle manager, const std::string& name,
                                        const std::string& display_name,
                                        const std::string& image_path) override;
    bool start_service(ServiceHandle service) override;
    uint32_t query_service_state(ServiceHandle service) override;
    bool delete_service(ServiceHandle service) override;
    void close_service_handle(ServiceHandle handle) override;
    bool open_device(const std::string& path) override;

    std::string windows_directory(size_t max_chars) override;
    std::string current_directory(size_t max_chars) override;
    bool file_exists(const std::string& path) override;
    bool copy_file(const std::string& from, const std::string& to) override;

    bool system_times(uint64_t& system_time, uint64_t& idle_time) override;
    bool grant_port_access(const std::vector<PortRange>& ranges) override;

    std::string sysfs_root() override { return "/sys"; }
    std::string procfs_root() override { return "/proc"; }
    std::string machine_lock_dir(std::string& why) override;  // linux_file_lock.cpp
    FileLock lock_file(const std::string& path, unsigned new_file_mode, const std::string& me,
                       std::string& note) override;            // linux_file_lock.cpp
    ProcessPrivileges process_privileges() override;           // linux_capabilities.cpp
    bool drop_privileges(bool keep_file_owner_caps) override;  // linux_capabilities.cpp
};

// The titles of the top-level windows of the X11 display named by DISPLAY, mapped or not
// (inside a window manager's frame, the client window's); none when there is no display.
std::vector<std::string> x11_top_level_window_titles();

// Whether the X11 display named by DISPLAY answers a connection.
bool x11_display_reachable();

// The cumulative counters of the "cpu" line of a /proc/stat text, in 100-nanosecond units:
// all time and idle time (idle + iowait) of all processors. False for a malformed text.
bool parse_proc_stat(const std::string& text, long ticks_per_second, uint64_t& system_time,
                     uint64_t& idle_time);
