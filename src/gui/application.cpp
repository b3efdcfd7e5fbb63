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

#include "app/headless_run.h"
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
    if (const int code = enter_files_folder(args))
        return code;
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
    PortStart start =
        start_ports(args, [&](const std::string& text) { show_refusal(text, mode, argc, argv); });
    if (start.end_code >= 0)
        return start.end_code;
    PortSetup& ports = start.ports;

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

    take_ports(ports);

    CloseSignals close_signals;
    std::unique_ptr<Prompts> prompts;
    if (mode.unattended) {
        prompts = std::make_unique<UnattendedPrompts>();
    } else {
        prompts = std::make_unique<QtPrompts>();
    }

    try {
        // Settings to apply or a board to print: the session does it and ends the process.
        if (runs_without_window(args))
            run_without_window(*prompts, args, ports.notes);
        TMain main_window(*prompts, args, ports.notes);
        close_signals.attach(&main_window);
        // The end of the desktop session closes the window like its close box.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &main_window,
                         [&main_window] { main_window.close(); });
        // A start minimised to the tray keeps the window hidden; without a tray it is shown
        // minimised, so it stays reachable from the task bar.
        if (!(main_window.isMinimized() && main_window.tray.TrayIcon1->isVisible()))
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
