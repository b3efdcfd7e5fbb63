// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/application.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QtGlobal>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/instance.h"
#include "app/long_options.h"
#include "app/port_setup.h"
#include "app/privileges.h"
#include "app/prompts.h"
#include "app/run_lock.h"
#include "app/version.h"
#include "diag/append_file.h"
#include "diag/debuglog.h"
#include "gui/close_signals.h"
#include "gui/main_window.h"
#include "gui/qt_prompts.h"
#include "platform/platform.h"
#ifndef _WIN32
#include "platform/linux_platform.h"
#endif
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

// A privileged process loads no toolkit plugins from places the environment names: whoever
// sets the variable would run code with the process's rights.
void ignore_plugin_paths_when_privileged() {
    if (!process_is_privileged())
        return;
    bool ignored = false;
    for (const char* name : {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH"}) {
        if (std::getenv(name)) {
            unsetenv(name);
            ignored = true;
        }
    }
    if (ignored)
        std::fprintf(stderr, "velmora: running privileged, Qt plugin paths ignored\n");
}

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
    if (::chdir(folder.c_str()) != 0)
        return std::strerror(errno);
    return {};
}

// Whether a window could be shown: an X11 display that answers, or a Wayland one named.
bool display_reachable() {
#ifdef _WIN32
    return true;
#else
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (wayland && *wayland) || x11_display_reachable();
#endif
}

// A start that is refused says why on standard error and, on a desktop, in a box; the run
// touches nothing. The box comes from a toolkit without the process's privileges.
void show_refusal(const std::string& text, const RunMode& mode, int argc, char** argv) {
    std::fprintf(stderr, "velmora: %s\n", text.c_str());
    std::fflush(stderr);
    if (mode.unattended || mode.offscreen || mode.no_window)
        return;
    drop_process_privileges();
    QApplication app(argc, argv);
    QtPrompts().show_message(text);
}

}  // namespace

int run_application(int argc, char** argv) {
    ignore_plugin_paths_when_privileged();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (has_flag(args, "--help")) {
        std::fputs(full_help_text().c_str(), stdout);
        return 0;
    }
    if (has_flag(args, "--version")) {
        std::printf("velmora %s (Qt %s)\n", kVersionText, qVersion());
        return 0;
    }
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
    const RunMode mode = decide_run_mode(args, display_reachable(), std::getenv("QT_QPA_PLATFORM"));
    if (mode.no_window) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr,
                     "velmora: no display to open the window on (%s); start it on a desktop, or "
                     "add --unattended to run without a window\n",
                     display && *display
                         ? (std::string("the display ") + display + " does not answer").c_str()
                         : "DISPLAY is not set");
        return 1;
    }
    const PortPlan plan = plan_port_backend(args);
    if (!plan.error.empty()) {
        std::fprintf(stderr, "%s\n", plan.error.c_str());
        return 2;
    }
    // A second copy ends before it touches anything: before the first port access, before
    // the simulated board's state is loaded or saved, before any exit hook would save it.
    // The lock catches copies without a display and copies started in the same instant; the
    // window titles also catch a copy on the same desktop that runs on another simulated
    // board, or that holds a lock of its own user's.
    const RunLock lock = plan.simulated ? lock_simulated_board(kSimStateFile) : lock_real_board();
    if (lock.state != RunLock::State::Taken || is_already_running(instance_key())) {
        log_banner();
        if (lock.state == RunLock::State::Failed)
            debug_print("VELMORA: No lock -> Exiting now... (%s)\n", lock.refusal);
        else
            log_already_running();
        show_refusal(lock.refusal.empty() ? already_running_text() : lock.refusal, mode, argc,
                     argv);
        return 1;
    }
    // What an earlier run left behind: a log grown too large, files of a save cut short.
    rotate_when_large(kDebugLogName);
    remove_stray_new_files(".");
    PortSetup ports = make_port_backend(plan, args);
    if (!ports.error.empty()) {
        std::fprintf(stderr, "%s\n", ports.error.c_str());
        return 2;
    }
    // The simulated board needs no privilege: all of it goes before the toolkit loads a
    // plugin. Real ports keep theirs until the start-up's port grant.
    if (!ports.backend->needs_port_grant()) {
        const std::string dropped = drop_process_privileges();
        if (!dropped.empty())
            ports.notes.log_lines.insert(ports.notes.log_lines.begin(), dropped);
    }

    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    if (mode.offscreen &&
        (!qpa || (std::strcmp(qpa, "offscreen") && std::strcmp(qpa, "minimal")))) {
        // A run that ends by itself needs no word about the window it does not show.
        if (!ends_without_window(args))
            std::fprintf(stderr,
                         "velmora: no display found, running without a visible window; messages "
                         "go to standard error, the log to velmora.deb\n");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("velmora");
    QApplication::setApplicationVersion(kVersionText);
    // Lets a desktop tie the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName("org.velmora.Velmora");
    // The toolkit takes the user's locale; numbers in files and logs never do.
    std::setlocale(LC_NUMERIC, "C");

    install_port_backend(&ports.active());
    // The simulated board keeps what this run sets, however the run ends; a run that could
    // not keep it says so and does not end with 0.
    save_simulated_board(ports);
    add_exit_hook([&ports] { return final_save_of_simulated_board(ports); });
    // A run that dies leaves AutoFAN's fans at full speed; the simulated board then saves
    // what that wrote (a real board has nothing to save).
    static const PortSetup* failing_ports = nullptr;
    failing_ports = &ports;
    fan_failsafe_install([] { save_simulated_board(*failing_ports); });

    CloseSignals close_signals;
    std::unique_ptr<Prompts> prompts;
    if (mode.unattended) {
        prompts = std::make_unique<UnattendedPrompts>();
    } else {
        prompts = std::make_unique<QtPrompts>();
    }

    try {
        TMain main_window(*prompts, args, ports.notes);
        close_signals.attach(&main_window);
        // The end of the desktop session closes the window like its close box.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &main_window,
                         [&main_window] { main_window.close(); });
        // A start minimised to the tray keeps the window hidden; without a tray it is shown
        // minimised, so it stays reachable from the task bar.
        if (!(main_window.isMinimized() && main_window.TrayIcon1->isVisible()))
            main_window.show();
        // From here on long hardware work goes one step per event.
        main_window.EnableHardwareStepping();
        QApplication::exec();
    } catch (const std::exception& e) {
        prompts->show_message(e.what());
    }
    const int code = run_exit_hooks(0);
    install_port_backend(nullptr);
    return code;
}
