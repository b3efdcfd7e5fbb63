// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/program_start.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/instance.h"
#include "app/long_options.h"
#include "app/privileges.h"
#include "app/run_lock.h"
#include "diag/append_file.h"
#include "diag/debuglog.h"
#include "platform/platform.h"
#include "sensors/fan_failsafe.h"
#include "sim/sim_machine.h"
#include "support/link_target.h"
#include "support/stray_files.h"

RunMode decide_run_mode(const std::vector<std::string>& args, bool display_reachable,
                        const char* qpa_platform) {
    RunMode mode;
    // A read-out is for scripts: it never waits on a question.
    mode.unattended = has_flag(args, "--unattended") || has_flag(args, "--read");
    const std::string qpa = qpa_platform ? qpa_platform : "";
    if (qpa == "offscreen" || qpa == "minimal" ||
        (!display_reachable && (mode.unattended || ends_without_window(args)))) {
        mode.offscreen = true;
        mode.unattended = true;
    } else if (!display_reachable) {
        mode.no_window = true;
    }
    return mode;
}

namespace {
// Makes the folder (with its parents, for this user alone) when missing and works in it: every
// file velmora keeps is named relative to the working folder. Empty, or why it cannot be used.
std::string enter_folder(const std::string& folder) {
#ifndef _WIN32
    // The link rule of every file holds for the folder of them all: a link on the way, or the
    // folder it leads to, must be the user's (root's own count as root's).
    WriteTarget target;
    const TargetCheck check = find_write_target(folder, target);
    if (check == TargetCheck::ForeignLink)
        return link_refusal_text(check);
    struct stat st {};
    if (target.via_link && ::stat(target.path.c_str(), &st) == 0 && !trusted_owner(st.st_uid))
        return "a link to a folder of another user";
#endif
    std::error_code error;
    const bool made = std::filesystem::create_directories(folder, error);
    if (error)
        return error.message();
#ifndef _WIN32
    // A folder made just now keeps the settings of this user to this user.
    if (made)
        ::chmod(folder.c_str(), 0700);
#endif
    std::filesystem::current_path(folder, error);
    return error ? error.message() : std::string();
}
}  // namespace

int enter_files_folder(const std::vector<std::string>& args) {
    for (const std::string& note : unknown_option_notes(args))
        std::fprintf(stderr, "%s\n", note.c_str());
    std::string folder;
    if (config_dir_option(args, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), folder)) {
        const std::string why = folder.empty() ? "no home folder is known" : enter_folder(folder);
        if (!why.empty()) {
            std::fprintf(stderr, "velmora: the folder %s cannot be used for the files: %s\n",
                         folder.c_str(), why.c_str());
            return 2;
        }
    }
    return 0;
}

PortStart start_ports(const std::vector<std::string>& args,
                      const std::function<void(const std::string&)>& refuse) {
    PortStart start;
    const PortPlan plan = plan_port_backend(args);
    if (!plan.error.empty()) {
        std::fprintf(stderr, "%s\n", plan.error.c_str());
        start.end_code = 2;
        return start;
    }
    // A second copy ends before it touches anything: before the first port access, before
    // the simulated board's state is loaded or saved, before any exit hook would save it.
    // The lock catches copies without a display and copies started in the same instant; the
    // window titles also catch a copy on the same desktop that runs on another simulated
    // board, or that holds a lock of its own user's. The lock stays taken until the process
    // ends.
    const RunLock lock = plan.simulated ? lock_simulated_board(kSimStateFile) : lock_real_board();
    if (lock.state != RunLock::State::Taken || is_already_running(instance_key())) {
        log_banner();
        if (lock.state == RunLock::State::Failed)
            debug_print("VELMORA: No lock -> Exiting now... (%s)\n", lock.refusal);
        else
            log_already_running();
        refuse(lock.refusal.empty() ? already_running_text() : lock.refusal);
        start.end_code = 1;
        return start;
    }
    // What an earlier run left behind: a log grown too large, files of a save cut short.
    rotate_when_large(kDebugLogName);
    remove_stray_new_files(".");
    start.ports = make_port_backend(plan, args);
    PortSetup& ports = start.ports;
    if (!ports.error.empty()) {
        std::fprintf(stderr, "%s\n", ports.error.c_str());
        start.end_code = 2;
        return start;
    }
    // The simulated board needs no privilege: all of it goes before a toolkit loads a plugin.
    // Real ports keep theirs until the start-up's port grant.
    if (!ports.backend->needs_port_grant()) {
        const std::string dropped = drop_process_privileges();
        if (!dropped.empty())
            ports.notes.log_lines.insert(ports.notes.log_lines.begin(), dropped);
    }
    return start;
}

void take_ports(PortSetup& ports) {
    install_port_backend(&ports.active());
    install_kernel(ports.active_kernel());
    // The simulated board keeps what this run sets, however the run ends; a run that could
    // not keep it says so and does not end with 0.
    save_simulated_board(ports);
    add_exit_hook([&ports] { return final_save_of_simulated_board(ports); });
    // A run that dies leaves AutoFAN's fans at full speed; the simulated board then saves
    // what that wrote (a real board has nothing to save).
    static const PortSetup* failing_ports = nullptr;
    failing_ports = &ports;
    fan_failsafe_install([] { save_simulated_board(*failing_ports); });
}
