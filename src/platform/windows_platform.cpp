// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/windows_platform.h"

#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

SC_HANDLE sc(ServiceHandle handle) {
    return reinterpret_cast<SC_HANDLE>(handle);
}

ServiceHandle to_handle(SC_HANDLE handle) {
    return reinterpret_cast<ServiceHandle>(handle);
}

// The version record the start-up check asks for: 148 bytes with the size field in front.
static_assert(sizeof(OSVERSIONINFOA) == 148);

BOOL CALLBACK collect_title(HWND window, LPARAM param) {
    auto* titles = reinterpret_cast<std::vector<std::string>*>(param);
    char text[256];
    const int length = GetWindowTextA(window, text, sizeof text);
    titles->emplace_back(text, length > 0 ? static_cast<size_t>(length) : 0);
    return TRUE;
}

// A directory from one of the Get...DirectoryA calls, which return the length written, or
// the size needed (terminator included) when the buffer is too small, or 0 on failure.
template <typename Get>
std::string directory(size_t max_chars, Get get) {
    std::string buffer(max_chars + 1, '\0');
    const DWORD length = get(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length > max_chars)
        return {};
    buffer.resize(length);
    return buffer;
}

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG info_class, PVOID buffer, ULONG length,
                                                 PULONG return_length);

// Looked up by name at run time: Windows 9x/ME has no such entry, and the CPU load then simply
// stays unmeasured instead of the program failing to load.
NtQuerySystemInformationFn nt_query_system_information() {
    static const NtQuerySystemInformationFn fn = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll");
        if (!ntdll)
            return NtQuerySystemInformationFn{};
        // Through void* so that the cast between function types draws no warning.
        return reinterpret_cast<NtQuerySystemInformationFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    }();
    return fn;
}

constexpr ULONG kSystemPerformanceInformation = 2;
constexpr ULONG kSystemTimeOfDayInformation = 3;

}  // namespace

bool WindowsPlatform::query_windows_platform_id(uint32_t& platform_id) {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL ok = GetVersionExA(&info);
#pragma GCC diagnostic pop
    if (!ok)
        return false;
    platform_id = info.dwPlatformId;
    return true;
}

std::vector<std::string> WindowsPlatform::top_level_window_titles() {
    std::vector<std::string> titles;
    EnumWindows(collect_title, reinterpret_cast<LPARAM>(&titles));
    return titles;
}

uint32_t WindowsPlatform::last_error() {
    return GetLastError();
}

std::string WindowsPlatform::error_message(uint32_t code) {
    char* text = nullptr;
    // No argument list is passed, so inserts such as "%1" are left as they stand instead of
    // being read from nowhere.
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
        nullptr);
    if (length == 0 || !text)
        return {};
    std::string message(text, length);
    LocalFree(text);
    return message;
}

void WindowsPlatform::exit_process(int code) {
    code = run_exit_hooks(code);
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(code));
}

ServiceHandle WindowsPlatform::open_service_manager() {
    return to_handle(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

ServiceHandle WindowsPlatform::open_service(ServiceHandle manager, const std::string& name) {
    return to_handle(OpenServiceA(sc(manager), name.c_str(), SERVICE_ALL_ACCESS));
}

ServiceHandle WindowsPlatform::create_driver_service(ServiceHandle manager, const std::string& name,
                                                     const std::string& display_name,
                                                     const std::string& image_path) {
    return to_handle(CreateServiceA(sc(manager), name.c_str(), display_name.c_str(),
                                    SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_SYSTEM_START,
                                    SERVICE_ERROR_NORMAL, image_path.c_str(), nullptr, nullptr,
                                    nullptr, nullptr, nullptr));
}

bool WindowsPlatform::start_service(ServiceHandle service) {
    return StartServiceA(sc(service), 0, nullptr) != 0;
}

uint32_t WindowsPlatform::query_service_state(ServiceHandle service) {
    SERVICE_STATUS status;
    if (!QueryServiceStatus(sc(service), &status))
        return 0;
    return status.dwCurrentState;
}

bool WindowsPlatform::delete_service(ServiceHandle service) {
    return DeleteService(sc(service)) != 0;
}

void WindowsPlatform::close_service_handle(ServiceHandle handle) {
    if (handle != 0)
        CloseServiceHandle(sc(handle));
}

bool WindowsPlatform::open_device(const std::string& path) {
    HANDLE device = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(device);
    return true;
}

std::string WindowsPlatform::windows_directory(size_t max_chars) {
    return directory(max_chars, [](DWORD size, char* buffer) -> DWORD {
        return GetWindowsDirectoryA(buffer, size);
    });
}

std::string WindowsPlatform::current_directory(size_t max_chars) {
    return directory(max_chars, [](DWORD size, char* buffer) -> DWORD {
        return GetCurrentDirectoryA(size, buffer);
    });
}

bool WindowsPlatform::file_exists(const std::string& path) {
    struct _stat status;
    return _stat(path.c_str(), &status) == 0;
}

bool WindowsPlatform::copy_file(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool WindowsPlatform::system_times(uint64_t& system_time, uint64_t& idle_time) {
    const NtQuerySystemInformationFn query = nt_query_system_information();
    if (!query)
        return false;
    // Time of day: the current system time follows the boot time at offset 8.
    alignas(8) unsigned char time_of_day[32] = {};
    if (query(kSystemTimeOfDayInformation, time_of_day, sizeof time_of_day, nullptr) != 0)
        return false;
    // Performance counters: the idle time is the first field.
    alignas(8) unsigned char performance[312] = {};
    if (query(kSystemPerformanceInformation, performance, sizeof performance, nullptr) != 0)
        return false;
    std::memcpy(&system_time, time_of_day + 8, sizeof system_time);
    std::memcpy(&idle_time, performance, sizeof idle_time);
    // The idle time adds up every processor's idle time, the time of day passes once: counted
    // once per processor it runs in step with the idle time, as the two times of Linux do.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    system_time *= info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
    return true;
}

// On Windows the port access comes with the opening of the driver device (open_device of
// "\\.\giveio"), which the driver service code does before any port is touched; there is
// nothing more to ask for here.
bool WindowsPlatform::grant_port_access(const std::vector<PortRange>&) {
    return true;
}

std::string WindowsPlatform::machine_lock_dir(std::string& why) {
    const char* common = std::getenv("ProgramData");
    if (!common || !*common)
        why = "ProgramData is not set";
    return common ? common : "";
}

// A file opened without sharing cannot be opened again until its handle closes, which the
// system does when the process ends; the handle is never closed before. Nothing can read the
// note of a copy that holds it.
FileLock WindowsPlatform::lock_file(const std::string& path, unsigned, const std::string&,
                                    std::string& note) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        return FileLock::Taken;
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION)
        return FileLock::Busy;
    note = error_message(error);
    return FileLock::Failed;
}
