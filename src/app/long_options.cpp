// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/long_options.h"

#include <algorithm>

#include "app/command_line.h"

namespace {

// The classic options that take the next argument as their value.
const char* const kValueOptions[] = {"-s", "-r", "-a", "-v", "-q", "-w", "-e", "-f", "-m"};
const char* const kSettingOptions[] = {"-s", "-r", "-a", "-v", "-q", "-w", "-e", "-f"};
const char* const kFlags[] = {
    "-h",         "--help",       "--version",     "--sim",
    "--hardware", "--unattended", "--trace-ports", "--ignore-kernel-drivers",
    "--read",     "--json",       "--config-dir"};
const char* const kWithValue[] = {"--sim=", "--trace-ports=", "--config-dir="};
// What Qt takes from the command line itself.
const char* const kToolkitOptions[] = {
    "-platform", "-platformtheme", "-style",           "-stylesheet",   "-session",    "-reverse",
    "-display",  "-geometry",      "-qwindowgeometry", "-qwindowtitle", "-qwindowicon"};

template <size_t N>
bool one_of(const std::string& arg, const char* const (&list)[N]) {
    return std::find(std::begin(list), std::end(list), arg) != std::end(list);
}

bool starts_with_one_of(const std::string& arg) {
    for (const char* prefix : kWithValue)
        if (arg.rfind(prefix, 0) == 0)
            return true;
    return false;
}

}  // namespace

std::string full_help_text() {
    return command_line_help() +
           "\n"
           "Each value is the next argument; a run with -s, -r, -a, -v, -q, -w, -e or -f applies\n"
           "the values like the Apply button and ends (exit code 0 when all were set, 3 when\n"
           "one was not). -A and -l are listed above but do nothing.\n"
           " -h                       show the list above in a message box\n"
           " -m [MULT]                show the CPU clock with this multiplier\n"
           "\n"
           "Beside them:\n"
           " --help                   this text\n"
           " --version                the version of velmora and of Qt\n"
           " --read                   read the board once, write nothing, print what was read\n"
           " --read --json            the same as one JSON object\n"
           " --sim[=N]                run on simulated board N (0 to 14, default 7)\n"
           " --hardware               use the real I/O ports without an nForce2 host bridge\n"
           " --unattended             no one at the screen: messages go to standard error,\n"
           "                          questions are answered No\n"
           " --trace-ports[=FILE]     append every port access and kernel operation to FILE\n"
           "                          (default velmora-ports.trace)\n"
           " --ignore-kernel-drivers  reach the SMBus and the monitor through their ports\n"
           "                          even where a kernel driver owns them\n"
           " --config-dir [DIR]       keep every file in DIR (made when missing); without DIR\n"
           "                          in $XDG_CONFIG_HOME/velmora (~/.config/velmora)\n"
           "\n"
           "Exit codes: 0 done, 1 refused (another copy, the lock, the ports), 2 bad option,\n"
           "3 a value not set, 4 the simulated board's state not saved, 128+N signal N.\n"
           "See velmora(1) for the files and for safety on a real board.\n";
}

std::vector<std::string> unknown_option_notes(const std::vector<std::string>& args) {
    std::vector<std::string> notes, seen;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (one_of(arg, kValueOptions) || one_of(arg, kToolkitOptions)) {
            ++i;  // its value
            continue;
        }
        if (arg == "--config-dir") {
            if (i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0)
                ++i;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-' || one_of(arg, kFlags) || starts_with_one_of(arg))
            continue;
        if (std::find(seen.begin(), seen.end(), arg) != seen.end())
            continue;
        seen.push_back(arg);
        notes.push_back(arg == "-A" || arg == "-l"
                            ? "velmora: option " + arg + " does nothing, passed over (see --help)"
                            : "velmora: unknown option " + arg + " passed over (see --help)");
    }
    return notes;
}

bool has_flag(const std::vector<std::string>& args, const std::string& flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
}

bool config_dir_option(const std::vector<std::string>& args, const char* xdg_config_home,
                       const char* home, std::string& dir) {
    dir.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--config-dir=", 0) == 0 && args[i].size() > 13) {
            dir = args[i].substr(13);
            return true;
        }
        if (args[i] != "--config-dir" && args[i] != "--config-dir=")
            continue;
        if (args[i] == "--config-dir" && i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0)
            dir = args[i + 1];
        // The folder of the desktop's settings: an absolute XDG_CONFIG_HOME, else ~/.config.
        else if (xdg_config_home && xdg_config_home[0] == '/')
            dir = std::string(xdg_config_home) + "/velmora";
        else if (home && home[0] == '/')
            dir = std::string(home) + "/.config/velmora";
        return true;
    }
    return false;
}

bool ends_without_window(const std::vector<std::string>& args) {
    if (has_flag(args, "--read"))
        return true;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (one_of(args[i], kSettingOptions))
            return true;
    return false;
}
