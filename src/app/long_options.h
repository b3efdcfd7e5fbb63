// SPDX-License-Identifier: GPL-2.0-or-later
// The options velmora has beside the classic short ones (-s, -f, ...): what --help lists,
// which arguments are no option at all, and the folder --config-dir chooses.
#pragma once

#include <string>
#include <vector>

// The text of --help: the classic help text, then every other option, for standard output.
std::string full_help_text();

// What standard error says about the arguments that start with "-" and are no option (each
// once, in order): "velmora: unknown option -S passed over (see --help)". The classic help
// lists "-A" and "-l", which do nothing: they get a line of their own.
std::vector<std::string> unknown_option_notes(const std::vector<std::string>& args);

// Whether an argument equals `flag`.
bool has_flag(const std::vector<std::string>& args, const std::string& flag);

// The folder --config-dir asks for: "--config-dir DIR" or "--config-dir=DIR"; without a value
// $XDG_CONFIG_HOME/velmora, or ~/.config/velmora. False when the option is not given (the
// working folder stays); `dir` is empty when no home is known.
bool config_dir_option(const std::vector<std::string>& args, const char* xdg_config_home,
                       const char* home, std::string& dir);

// Whether the arguments set a value (an option such as -s or -f with its value) or ask for a
// read-out: such a run ends by itself and needs no window.
bool ends_without_window(const std::vector<std::string>& args);
