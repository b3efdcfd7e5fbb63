// SPDX-License-Identifier: GPL-2.0-or-later
// What every run does before it shows or reads anything, with a window or without one: the
// folder of its files, the run mode, the lock against a second copy, the ports, and what keeps
// the simulated board's state and the fans safe however the run ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/port_setup.h"

struct RunMode {
    // Nobody at the screen: messages go to standard error, questions are answered No.
    bool unattended = false;
    // No display to show a window on: the window lives offscreen.
    bool offscreen = false;
    // A start that would open the window, with no display to open it on: it does not start.
    bool no_window = false;
};

// How to run, from the options, whether a display answers, and QT_QPA_PLATFORM. A run that
// ends by itself (a value to set, --read) or that was asked to be unattended needs no display;
// an offscreen or minimal platform chosen in the environment is taken as asked.
RunMode decide_run_mode(const std::vector<std::string>& args, bool display_reachable,
                        const char* qpa_platform);

// Notes on unknown options, then the folder of the files (--config-dir) made and entered.
// 0 when the run goes on, else the exit code it ends with (said on standard error).
int enter_files_folder(const std::vector<std::string>& args);

// The ports the options ask for (real or simulated), with the lock that goes with them taken
// first; a second copy, a lock that cannot be had or a bad option ends the run before any
// port access. `refuse` says why a start is refused (standard error and, on a desktop, a box).
struct PortStart {
    int end_code = -1;  // >= 0: the run ends here with this code
    PortSetup ports;
};
PortStart start_ports(const std::vector<std::string>& args,
                      const std::function<void(const std::string&)>& refuse);

// From here on the run's port accesses reach `ports`: the simulated board keeps what the run
// sets however it ends (a run that could not keep it does not end with 0), and a run that
// dies leaves AutoFAN's fans at full speed. `ports` must outlive the run.
void take_ports(PortSetup& ports);
