// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/command_line.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "app/prompts.h"
#include "diag/debuglog.h"
#include "support/whole_number.h"

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

bool blank(char c) {
    return c != '\0' && std::strchr(" \t\n\v\f\r", c);
}

// The text without the blanks around it.
std::string trimmed(const std::string& text) {
    size_t from = 0, to = text.size();
    while (from < to && blank(text[from]))
        ++from;
    while (to > from && blank(text[to - 1]))
        --to;
    return text.substr(from, to - from);
}

// Wholly one decimal number: a sign, digits with at most one point, an exponent.
bool decimal_number(const std::string& text) {
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == text.size();
}

// Wholly one decimal number that a double holds (1e400 does not).
bool volts_value(const std::string& text, double& v) {
    if (!decimal_number(text))
        return false;
    const bool negative = text[0] == '-';
    const size_t digits = text[0] == '+' || text[0] == '-' ? 1 : 0;
    const auto res = std::from_chars(text.data() + digits, text.data() + text.size(), v,
                                     std::chars_format::general);
    if (res.ec != std::errc() || !std::isfinite(v))
        return false;
    v = negative ? -v : v;
    return true;
}

bool is_option_text(const std::string& arg) {
    if (arg == "-h")
        return true;
    for (const SettingOption& o : kOptions)
        if (arg == o.option)
            return true;
    return false;
}

// Stores the value when it is wholly a number of the option's kind.
bool store(const SettingOption& o, const std::string& value, CommandLineTargets& t) {
    const std::string number = trimmed(value);
    if (o.kind == Kind::Volts) {
        double v = 0.0;
        if (!volts_value(number, v))
            return false;
        double* target = o.option[1] == 's'   ? &t.vcore
                         : o.option[1] == 'r' ? &t.vdimm
                         : o.option[1] == 'a' ? &t.vagp
                                              : &t.vdd;
        *target = v;
        debug_print(o.log_line, v);
        return true;
    }
    int32_t v = 0;
    if (!parse_whole_number(number.c_str(), v))
        return false;
    int32_t* target = o.option[1] == 'q'   ? &t.tras
                      : o.option[1] == 'w' ? &t.trcd
                      : o.option[1] == 'e' ? &t.trp
                                           : &t.fsb;
    *target = v;
    debug_print(o.log_line, v);
    return true;
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
            // An option in the value's place ("-s -h") is no value: it is looked at as the
            // option it is in the next pass.
            if (is_option_text(args[i + 1]))
                continue;
            const std::string value = args[i + 1].substr(0, kValueLength);
            if (!store(o, value, targets)) {
                debug_print("VELMORA: command-line option %s %s is not a number, nothing applied\n",
                            o.option, log_excerpt(value));
                prompts.show_refusal(std::string(o.option) + " " + log_excerpt(value) + ": " +
                                     (o.kind == Kind::Volts
                                          ? "not a number of volts (such as 1.650)"
                                          : "not a whole number") +
                                     ", nothing applied");
                return CommandLineResult::Refused;
            }
            taken = true;
        }
        // The value is not skipped: the next pass looks at it like any argument.
    }
    return taken ? CommandLineResult::Taken : CommandLineResult::NothingTaken;
}

bool setting_run_asked(const std::vector<std::string>& args) {
    bool taken = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-h")
            return false;
        for (const SettingOption& o : kOptions) {
            if (args[i] != o.option)
                continue;
            if (i + 1 >= args.size())
                return false;
            if (!is_option_text(args[i + 1]))
                taken = true;
        }
    }
    return taken;
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
