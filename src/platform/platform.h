// SPDX-License-Identifier: GPL-2.0-or-later
// What the operating system provides to velmora. Every call into the OS outside the port
// backends goes through one installed Platform, so tests can script each answer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class OsFamily { Linux, Windows };

// What an attempt to take a lock file came to.
enum class FileLock {
    Taken,   // held by this process until it ends
    Busy,    // another process holds it
    Failed,  // the file could not be opened or locked
};

// A handle of the Windows service control manager or of a service; 0 is none.
using ServiceHandle = uintptr_t;

// Service states as the service control manager reports them.
inline constexpr uint32_t SERVICE_STATE_STOPPED = 1;
inline constexpr uint32_t SERVICE_STATE_RUNNING = 4;

// Windows error numbers that the driver service tells apart.
inline constexpr uint32_t OS_ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t OS_ERROR_SERVICE_DOES_NOT_EXIST = 1060;

// What the process may do beyond an ordinary user's rights. A capability set holds bit n for
// capability n, numbered as the Linux kernel numbers them; systems without capabilities
// report none.
// A run of I/O ports: the first and how many.
struct PortRange {
    uint16_t first;
    uint16_t count;
};

struct ProcessPrivileges {
    bool real_root = false;       // real user id 0
    bool effective_root = false;  // effective user id 0
    uint64_t effective_caps = 0;
    uint64_t permitted_caps = 0;
    bool any() const {
        return real_root || effective_root || effective_caps != 0 || permitted_caps != 0;
    }
};

// The capabilities a process started as root keeps after the drop: with them it can still
// replace files its users own and give them back their owner.
inline constexpr int CAPABILITY_CHOWN = 0;
inline constexpr int CAPABILITY_DAC_OVERRIDE = 1;
inline constexpr int CAPABILITY_FOWNER = 3;
inline constexpr uint64_t FILE_OWNER_CAPABILITIES =
    (1ull << CAPABILITY_CHOWN) | (1ull << CAPABILITY_DAC_OVERRIDE) | (1ull << CAPABILITY_FOWNER);

class Platform {
  public:
    virtual ~Platform() = default;

    virtual OsFamily os_family() = 0;

    // The platform identifier of the Windows version record (2 on the NT family). False when
    // the version query fails or the system is not Windows.
    virtual bool query_windows_platform_id(uint32_t& platform_id) = 0;

    // The titles of the desktop's top-level windows, in the system's order. A window without
    // a title gives an empty text.
    virtual std::vector<std::string> top_level_window_titles() = 0;

    // The calling thread's last error number and the system's text for an error number.
    virtual uint32_t last_error() = 0;
    virtual std::string error_message(uint32_t code) = 0;

    // Ends the process at once with the exit code; nothing is saved or cleaned up.
    virtual void exit_process(int code) = 0;

    // Service control manager (Windows NT family). Every call sets the last error on failure.
    virtual ServiceHandle open_service_manager() = 0;  // all access, local machine
    virtual ServiceHandle open_service(ServiceHandle manager, const std::string& name) = 0;
    // Creates a kernel driver service started at system start with normal error control.
    virtual ServiceHandle create_driver_service(ServiceHandle manager, const std::string& name,
                                                const std::string& display_name,
                                                const std::string& image_path) = 0;
    virtual bool start_service(ServiceHandle service) = 0;
    // The service's current state (SERVICE_STATE_*), or 0 when the query fails.
    virtual uint32_t query_service_state(ServiceHandle service) = 0;
    virtual bool delete_service(ServiceHandle service) = 0;
    virtual void close_service_handle(ServiceHandle handle) = 0;

    // Opens a device for reading, no sharing, and closes it again at once; true when the open
    // succeeded.
    virtual bool open_device(const std::string& path) = 0;

    // The Windows directory (at most max_chars characters) and the working directory.
    virtual std::string windows_directory(size_t max_chars) = 0;
    virtual std::string current_directory(size_t max_chars) = 0;
    virtual bool file_exists(const std::string& path) = 0;
    // Copies a file, replacing the destination; sets the last error on failure.
    virtual bool copy_file(const std::string& from, const std::string& to) = 0;

    // Two cumulative counters in 100-nanosecond units for the CPU load, both summed over all
    // processors: the time that passed and the time the processors were idle (waits for I/O
    // count as idle). False when the system cannot give them.
    virtual bool system_times(uint64_t& system_time, uint64_t& idle_time) = 0;

    // Grants this process direct access to the I/O ports of the ranges (Linux: ioperm for
    // each, which needs root or CAP_SYS_RAWIO; the permission stays through a suspend and ends
    // with the process). Windows 9x needs no grant and the NT family's giveio driver grants
    // every port. Sets the last error on failure.
    virtual bool grant_port_access(const std::vector<PortRange>& ranges) = 0;

    // Where the kernel's sysfs and procfs trees are ("/sys" and "/proc" on Linux; empty where
    // the system has none).
    virtual std::string sysfs_root() = 0;
    virtual std::string procfs_root() = 0;

    // The folder of the machine-wide lock of a run on real ports, one that no ordinary user
    // can write, so that none can take the lock away from an administrator's run: on Linux
    // "/run/velmora", made with mode 0755 by the first run as root; on Windows the common
    // application data folder. Empty, with `why` set, when it is missing or not safe to use.
    virtual std::string machine_lock_dir(std::string& why) = 0;
    // Takes an exclusive lock on the file without waiting for it; a missing file is made with
    // `new_file_mode` (less the umask). No link is followed and only a regular file is locked.
    // A taken lock is held until the process ends, however it ends, and the file then holds
    // `me` (this copy's process id and user) where the file may be written. On Busy `note`
    // receives what the holding copy wrote there, on Failed the reason.
    virtual FileLock lock_file(const std::string& path, unsigned new_file_mode,
                               const std::string& me, std::string& note) = 0;

    virtual ProcessPrivileges process_privileges() = 0;
    // Gives up every capability: the effective, permitted, inheritable and ambient sets, and
    // the bounding set where the process may shrink it. With keep_file_owner_caps the
    // FILE_OWNER_CAPABILITIES the process holds stay. False, with the last error set, when
    // the system refused; true also when there was nothing to give up.
    virtual bool drop_privileges(bool keep_file_owner_caps) = 0;
};

// Work that must be done however the process ends: at a normal end and inside every
// exit_process (for example saving the simulated board's state). Run once, in order. A hook
// returns 0, or the exit code for a run that would otherwise end with 0 but whose end that
// hook could not do (the state not saved); run_exit_hooks returns the code to end with.
void add_exit_hook(std::function<int()> hook);
int run_exit_hooks(int code);

// The operating system's message for the calling thread's last error number, as the system
// formats it; empty when the system has none.
std::string system_error_text();

// The installed platform. Before anything is installed this is the platform velmora was built
// for.
Platform& current_platform();
void install_platform(Platform* platform);  // nullptr restores the built-in one
