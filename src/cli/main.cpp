// SPDX-License-Identifier: GPL-2.0-or-later
// velmora-cli: velmora's runs that end by themselves, without the toolkit. It sets what its
// options give (-s 1.650, -f 200, ...) or prints the board (--read), with the same start, log,
// files and exit codes as velmora; every question is answered No, as with --unattended.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "app/long_options.h"
#include "app/program_start.h"
#include "app/prompts.h"
#include "app/stop_signals.h"
#include "app/version.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (has_flag(args, "--help") || has_flag(args, "-h")) {
        std::fputs(command_line_help().c_str(), stdout);
        std::puts("--read prints the board as read, and --json with it as JSON.");
        return 0;
    }
    if (has_flag(args, "--version")) {
        std::printf("velmora-cli %s\n", kVersionText);
        return 0;
    }
    if (!runs_without_window(args)) {
        std::fprintf(stderr,
                     "velmora-cli: nothing to do: give a setting option with its value (such as "
                     "-s 1.650 or -f 200) or --read; -h lists them\n");
        return 2;
    }
    if (const int code = enter_files_folder(args))
        return code;
    PortStart start = start_ports(
        args, [](const std::string& text) { std::fprintf(stderr, "velmora: %s\n", text.c_str()); });
    if (start.end_code >= 0)
        return start.end_code;
    take_ports(start.ports);
    install_stop_signals();
    UnattendedPrompts prompts;
    run_without_window(prompts, args, start.ports.notes);
    return run_exit_hooks(0);
}
