// SPDX-License-Identifier: GPL-2.0-or-later
// The command line's setting run: setting options go into the selected values and are applied
// like the Apply button applies them.
#include <unistd.h>

#include <cstdio>

#include "app/command_line.h"
#include "app/session.h"
#include "diag/debuglog.h"
#include "hw/stop_request.h"
#include "platform/platform.h"

bool Session::ParseCommandLine() {
    debug_print("VELMORA: Parsing command-line options\n");
    // After the start the options are only looked at: a board picked by hand must not set
    // values and end the process behind the user's back.
    MainValues unused = values_selected;
    MainValues& v = command_line_consumed ? unused : values_selected;
    const CommandLineResult result = parse_setting_options(
        args_, {v.vcore, v.vdimm, v.vagp, v.vdd, v.tras, v.trcd, v.trp, v.fsb}, prompts_);
    // Asked for from a terminal, the help also goes where the user is looking.
    if (result == CommandLineResult::HelpShown && isatty(STDOUT_FILENO)) {
        std::fputs(command_line_help().c_str(), stdout);
        std::fflush(stdout);
    }
    if (command_line_consumed) {
        if (result == CommandLineResult::Taken)
            debug_print("VELMORA: Command-line settings were for the start, not applied again\n");
        return false;
    }
    if (result == CommandLineResult::Refused) {
        // Nothing of the line is set: a start-up script learns it from the exit code.
        values_selected = values_read;
        current_platform().exit_process(kExitRefusedValue);
        return false;
    }
    if (result != CommandLineResult::Taken) {
        // A parse that stopped applies nothing, and nothing it took may be applied later
        // unseen: the window shows the read values.
        values_selected = values_read;
        return false;
    }
    view_.apply();
    // A start-up script sees why a value was not set, one line each; the exit code says that.
    for (const std::string& failure : apply_failures)
        std::fprintf(stderr, "%s\n", failure.c_str());
    std::fflush(stderr);
    return true;
}

bool Session::FindOption(const std::string& option, size_t max_length, std::string& value) {
    return find_option(args_, option, max_length, value);
}

int Session::SettingRunExitCode() const {
    const int stop = stop_requested();
    return stop != 0 ? 128 + stop : apply_failures.empty() ? kExitApplied : kExitNotApplied;
}

bool Session::TakeMultiplierOption() {
    std::string multiplier;
    if (!FindOption("-m", 5, multiplier))
        return false;
    cpu_multiplier = decimal_to_double(multiplier);
    debug_print("VELMORA: Using multiplier from command-line: %f\n", cpu_multiplier);
    return true;
}
