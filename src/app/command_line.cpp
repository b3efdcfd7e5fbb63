// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/command_line.h"

#include <cctype>
#include <charconv>
#include <cstring>

#include "app/prompts.h"
#include "diag/debuglog.h"
#include "support/configfile.h"

namespace {

constexpr size_t kValueLength = 25;

enum class Kind { Volts, Integer };

struct SettingOption {
    const char* option;
    Kind kind;
    const char* log_line;
    const char* usage;
};

// In the order the parser compares them, after "-h".
constexpr SettingOption kOptions[] = {
    {"-s", Kind::Volts, "VELMORA: command-line option -s %f\n", "-s [VCORE]"},
    {"-r", Kind::Volts, "VELMORA: command-line option -r %f\n", "-r [VDIMM]"},
    {"-a", Kind::Volts, "VELMORA: command-line option -a %f\n", "-a [VAGP]"},
    {"-v", Kind::Volts, "VELMORA: command-line option -v %f\n", "-v [VDD]"},
    {"-q", Kind::Integer, "VELMORA: command-line option -q %d\n", "-q [Tras]"},
    {"-w", Kind::Integer, "VELMORA: command-line option -w %d\n", "-w [Trcd]"},
    {"-e", Kind::Integer, "VELMORA: command-line option -e %d\n", "-e [Trp]"},
    {"-f", Kind::Integer, "VELMORA: command-line option -f %d\n", "-f [FSB]"},
};

void store(const SettingOption& o, const std::string& value, CommandLineTargets& t) {
    if (o.kind == Kind::Volts) {
        const double v = decimal_to_double(value);
        double* target = o.option[1] == 's'   ? &t.vcore
                         : o.option[1] == 'r' ? &t.vdimm
                         : o.option[1] == 'a' ? &t.vagp
                                              : &t.vdd;
        *target = v;
        debug_print(o.log_line, v);
        return;
    }
    const int32_t v = configfile_decimal(value.c_str());
    int32_t* target = o.option[1] == 'q'   ? &t.tras
                      : o.option[1] == 'w' ? &t.trcd
                      : o.option[1] == 'e' ? &t.trp
                                           : &t.fsb;
    *target = v;
    debug_print(o.log_line, v);
}

}  // namespace

std::string command_line_help() {
    return std::string("Available options:\n") + " -s [VCore]\n -r [VDimm]\n -a [VAgp]\n" +
           " -v [Vdd]\n -q [Tras]\n -w [Trcd]\n -e [Trp]\n" +
           " -f [FSB]\n -A enable AutoFSB\n -l Enable Port80 LED CPU temp\n";
}

double decimal_to_double(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) && text[i] != '\0')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Only digits, one point and an exponent count: no hexadecimal, infinity or NaN texts.
    if (i >= text.size() || !(std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'))
        return 0.0;
    double value = 0.0;
    auto res = std::from_chars(text.data() + i, text.data() + text.size(), value,
                               std::chars_format::general);
    if (res.ec == std::errc::invalid_argument)
        return 0.0;
    return negative ? -value : value;
}

CommandLineResult parse_setting_options(const std::vector<std::string>& args,
                                        CommandLineTargets targets, Prompts& prompts) {
    bool taken = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-h") {
            prompts.show_message(command_line_help());
            return CommandLineResult::HelpShown;
        }
        for (const SettingOption& o : kOptions) {
            if (args[i] != o.option)
                continue;
            if (i + 1 >= args.size()) {
                prompts.show_message(o.usage);
                return CommandLineResult::Stopped;
            }
            store(o, args[i + 1].substr(0, kValueLength), targets);
            taken = true;
        }
        // The value is not skipped: the next pass looks at it like any argument.
    }
    return taken ? CommandLineResult::Taken : CommandLineResult::NothingTaken;
}

bool find_option(const std::vector<std::string>& args, const std::string& option, size_t max_length,
                 std::string& value) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != option)
            continue;
        if (max_length == 0)
            return true;
        if (i + 1 >= args.size())
            return false;
        value = args[i + 1].substr(0, max_length);
        return true;
    }
    return false;
}
