// What the operating system provides to velmora. Every call into the OS outside the port
// backends goes through one installed Platform, so tests can script each answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class OsFamily { Linux, Windows };

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
};

// The installed platform. Before anything is installed this is the platform velmora was built
// for.
Platform& current_platform();
void install_platform(Platform* platform);  // nullptr restores the built-in one
