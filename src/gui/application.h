// SPDX-License-Identifier: GPL-2.0-or-later
// The program entry: the application object, the main window and the message loop.
#pragma once

#include <string>
#include <vector>

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

int run_application(int argc, char** argv);
