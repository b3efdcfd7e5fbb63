// SPDX-License-Identifier: GPL-2.0-or-later
#include "helpers/fake_platform.h"

#include <algorithm>

bool FakePlatform::query_windows_platform_id(uint32_t& platform_id) {
    if (family != OsFamily::Windows || !windows_platform_id)
        return false;
    platform_id = *windows_platform_id;
    return true;
}

std::string FakePlatform::error_message(uint32_t code) {
    for (auto& [number, text] : messages)
        if (number == code)
            return text;
    return {};
}

void FakePlatform::exit_process(int code) {
    exits.push_back(code);
    throw ProcessExit{code};
}

namespace {
constexpr ServiceHandle kManager = 0x100;
constexpr ServiceHandle kService = 0x200;
constexpr ServiceHandle kCreatedService = 0x300;
}  // namespace

ServiceHandle FakePlatform::open_service_manager() {
    calls.push_back("open_service_manager");
    if (manager_opens)
        return kManager;
    error_number = manager_error;
    return 0;
}

ServiceHandle FakePlatform::open_service(ServiceHandle, const std::string& name) {
    calls.push_back("open_service " + name);
    if (service_exists)
        return kService;
    error_number = open_service_error;
    return 0;
}

ServiceHandle FakePlatform::create_driver_service(ServiceHandle, const std::string& name,
                                                  const std::string& display_name,
                                                  const std::string& image_path) {
    calls.push_back("create_driver_service " + name + " " + display_name + " " + image_path);
    if (!create_succeeds) {
        error_number = create_error;
        return 0;
    }
    service_exists = true;
    service_state = SERVICE_STATE_STOPPED;
    created_image_path = image_path;
    return kCreatedService;
}

bool FakePlatform::start_service(ServiceHandle) {
    calls.push_back("start_service");
    const size_t n = std::count(calls.begin(), calls.end(), "start_service");
    if (n > start_results.size() || !start_results[n - 1]) {
        error_number = start_error;
        return false;
    }
    service_state = state_after_start;
    return true;
}

uint32_t FakePlatform::query_service_state(ServiceHandle) {
    calls.push_back("query_service_state");
    return service_state;
}

bool FakePlatform::delete_service(ServiceHandle) {
    calls.push_back("delete_service");
    if (delete_succeeds)
        service_exists = false;
    return delete_succeeds;
}

void FakePlatform::close_service_handle(ServiceHandle) {
    calls.push_back("close_service_handle");
}

bool FakePlatform::open_device(const std::string& path) {
    calls.push_back("open_device " + path);
    if (!device_opens)
        error_number = device_error;
    return device_opens;
}

std::string FakePlatform::windows_directory(size_t max_chars) {
    return windows_dir.substr(0, max_chars);
}

std::string FakePlatform::current_directory(size_t max_chars) {
    return working_dir.substr(0, max_chars);
}

bool FakePlatform::file_exists(const std::string& path) {
    return std::find(existing_files.begin(), existing_files.end(), path) != existing_files.end();
}

bool FakePlatform::copy_file(const std::string& from, const std::string& to) {
    copies.push_back(from + " -> " + to);
    if (!copy_succeeds || !file_exists(from)) {
        error_number = copy_error;
        return false;
    }
    existing_files.push_back(to);
    return true;
}

bool FakePlatform::system_times(uint64_t& system, uint64_t& idle) {
    if (times_source)
        return times_source(system, idle);
    if (!counters_available)
        return false;
    system = system_time;
    idle = idle_time;
    return true;
}

bool FakePlatform::grant_port_access(const std::vector<PortRange>& ranges) {
    calls.push_back("grant_port_access");
    granted_ranges = ranges;
    if (!port_access_granted)
        error_number = port_access_error;
    return port_access_granted;
}

bool FakePlatform::drop_privileges(bool keep_file_owner_caps) {
    calls.push_back(keep_file_owner_caps ? "drop_privileges keep_file_owner_caps"
                                         : "drop_privileges");
    if (!drop_succeeds) {
        error_number = drop_error;
        return false;
    }
    const uint64_t keep = keep_file_owner_caps ? FILE_OWNER_CAPABILITIES : 0;
    privileges.effective_caps &= keep;
    privileges.permitted_caps &= keep;
    return true;
}

std::string FakePlatform::machine_lock_dir(std::string& why) {
    if (machine_locks.empty())
        why = machine_locks_missing;
    return machine_locks;
}

FileLock FakePlatform::lock_file(const std::string& path, unsigned, const std::string&,
                                 std::string& note) {
    locks_asked.push_back(path);
    for (const LockAnswer& a : lock_answers) {
        if (a.path != path)
            continue;
        note = a.note;
        return a.answer;
    }
    return FileLock::Taken;
}
