// The program entry: the application object, the main window and the message loop.
#pragma once

#include <string>
#include <vector>

struct RunMode {
    // Nobody at the screen: messages go to standard error, questions are answered No.
    bool unattended = false;
    // No display to show a window on: the window lives offscreen.
    bool offscreen = false;
};

// How to run, from the long options and the environment. "--unattended" is ours; every
// other argument is left to the command-line options of the window.
RunMode decide_run_mode(const std::vector<std::string>& args, const char* display,
                        const char* wayland_display, const char* qpa_platform);

int run_application(int argc, char** argv);
