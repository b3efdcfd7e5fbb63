// SPDX-License-Identifier: GPL-2.0-or-later
// The command-line options that set voltages, RAM timings and the FSB without the window.
// Options are whole arguments compared byte for byte; an option's value is the argument after
// it, which is then looked at as an argument of its own as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Prompts;

// Where the setting options put their values: the window's selected values.
struct CommandLineTargets {
    double& vcore;
    double& vdimm;
    double& vagp;
    double& vdd;
    int32_t& tras;
    int32_t& trcd;
    int32_t& trp;
    int32_t& fsb;
};

// The exit codes of a run that applies command-line settings: 0 when every selected value was
// applied, kExitNotApplied when one was refused or could not be set.
inline constexpr int kExitApplied = 0;
inline constexpr int kExitNotApplied = 3;
// A setting option's value that is no number in the option's form: nothing is set.
inline constexpr int kExitRefusedValue = 2;

enum class CommandLineResult {
    NothingTaken,  // no setting option: the window opens as usual
    Taken,         // at least one setting option: the caller applies them and ends
    HelpShown,     // "-h": the help text was shown, nothing is applied
    Stopped,       // a usage text was shown: nothing is applied
    Refused,       // a value was no number in its option's form: said, nothing is applied
};

// Walks the arguments (without the program name) and stores each setting option's value,
// logging it; "-h" shows the help text, a setting option without a value its usage text. A
// value that is not wholly a number of the option's kind ("1.8.5", "1.70abc" for volts;
// "200abc", "166.6" for a whole number) is refused with the option named: a voltage or a clock
// is never set from a part of what was typed.
CommandLineResult parse_setting_options(const std::vector<std::string>& args,
                                        CommandLineTargets targets, Prompts& prompts);

// Whether parse_setting_options would take at least one value (or refuse one) rather than
// show a help or usage text or find nothing: the run then ends by itself. Looks only.
bool setting_run_asked(const std::vector<std::string>& args);

// The value after the first argument equal to `option`, cut to max_length characters. True
// when the option is there and, unless max_length is 0 (a plain flag), a value follows it.
bool find_option(const std::vector<std::string>& args, const std::string& option, size_t max_length,
                 std::string& value);

// The standard conversion of a floating-point text, independent of the user's locale:
// leading white space, a sign, digits with one decimal point and an exponent, up to the
// first character that does not fit; 0 without digits.
double decimal_to_double(const std::string& text);

// The help text of "-h".
std::string command_line_help();
