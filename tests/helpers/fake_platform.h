// SPDX-License-Identifier: GPL-2.0-or-later
// A platform whose every answer a test scripts, and which records what it was asked to do.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

// Thrown by FakePlatform::exit_process so a test can see that, and with which code, the
// process would have ended at that point.
struct ProcessExit {
    int code;
};

class FakePlatform : public Platform {
  public:
    OsFamily os_family() override { return family; }
    bool query_windows_platform_id(uint32_t& platform_id) override;
    std::vector<std::string> top_level_window_titles() override { return titles; }
    uint32_t last_error() override { return error_number; }
    std::string error_message(uint32_t code) override;
    [[noreturn]] void exit_process(int code) override;

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
    std::string sysfs_root() override { return sys_root; }
    std::string procfs_root() override { return proc_root; }
    std::string machine_lock_dir(std::string& why) override;
    FileLock lock_file(const std::string& path, unsigned new_file_mode, const std::string& me,
                       std::string& note) override;
    ProcessPrivileges process_privileges() override { return privileges; }
    bool drop_privileges(bool keep_file_owner_caps) override;

    OsFamily family = OsFamily::Linux;
    std::optional<uint32_t> windows_platform_id;  // nullopt: the version query fails
    std::vector<std::string> titles;
    uint32_t error_number = 0;
    std::vector<std::pair<uint32_t, std::string>> messages;  // error number -> system text
    std::vector<int> exits;

    // The service control manager: which steps succeed, and the error number each failure
    // leaves behind. A service that exists starts in `service_state`.
    bool manager_opens = true;
    uint32_t manager_error = OS_ERROR_ACCESS_DENIED;
    bool service_exists = false;
    uint32_t open_service_error = OS_ERROR_SERVICE_DOES_NOT_EXIST;
    uint32_t service_state = SERVICE_STATE_STOPPED;
    std::vector<bool> start_results;  // one per start call; a start past the end fails
    uint32_t start_error = 1058;
    uint32_t state_after_start = SERVICE_STATE_RUNNING;
    bool create_succeeds = true;
    uint32_t create_error = 1073;
    bool delete_succeeds = true;
    bool device_opens = true;
    uint32_t device_error = 2;

    std::string windows_dir = "C:\\WINDOWS";
    std::string working_dir = "C:\\velmora";
    std::vector<std::string> existing_files;
    bool copy_succeeds = true;
    uint32_t copy_error = 2;

    bool counters_available = true;
    uint64_t system_time = 0, idle_time = 0;
    // When set, answers system_times instead of the three fields above: for readers on another
    // thread, which must not race with the test's writes.
    std::function<bool(uint64_t& system_time, uint64_t& idle_time)> times_source;
    bool port_access_granted = true;
    std::vector<PortRange> granted_ranges;  // of the last grant
    uint32_t port_access_error = 1;         // EPERM

    // Relative to the working directory, so a test's temporary directory holds the trees.
    std::string sys_root = "sys";
    std::string proc_root = "proc";
    // Lock files: the machine's folder (empty: none, for the reason given), the answer and
    // note for each path (Taken when not listed) and every path asked for, in order.
    std::string machine_locks = "run/velmora";
    std::string machine_locks_missing = "it does not exist";
    struct LockAnswer {
        std::string path;
        FileLock answer;
        std::string note;
    };
    std::vector<LockAnswer> lock_answers;
    std::vector<std::string> locks_asked;

    ProcessPrivileges privileges;  // an ordinary user's by default
    bool drop_succeeds = true;
    uint32_t drop_error = 1;  // EPERM

    // Every call into the OS above, in order, for tests that check the sequence.
    std::vector<std::string> calls;
    std::vector<std::string> copies;  // "from -> to"
    std::string created_image_path;
};

// Installs a platform for the lifetime of the object and puts the built-in one back after.
class ScopedPlatform {
  public:
    explicit ScopedPlatform(Platform& p) { install_platform(&p); }
    ~ScopedPlatform() { install_platform(nullptr); }
};
