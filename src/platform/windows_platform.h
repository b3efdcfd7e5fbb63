// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows platform: the Win32 calls behind the single-instance check, the version query,
// the driver service, the system's error texts and the CPU-load counters.
#pragma once

#include "platform/platform.h"

class WindowsPlatform : public Platform {
  public:
    OsFamily os_family() override { return OsFamily::Windows; }
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

    std::string machine_lock_dir(std::string& why) override;
    FileLock lock_file(const std::string& path, unsigned new_file_mode, const std::string& me,
                       std::string& note) override;

    // Windows has neither kernel trees to read nor capabilities to give up.
    std::string sysfs_root() override { return {}; }
    std::string procfs_root() override { return {}; }
    ProcessPrivileges process_privileges() override { return {}; }
    bool drop_privileges(bool) override { return true; }
};
