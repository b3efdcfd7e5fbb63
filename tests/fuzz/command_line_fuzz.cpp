// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target for the command line: the input split at NUL bytes is the argument list.
// Parsing it must not crash, take only finite voltages, leave every value alone when no
// setting option was taken, and show a text exactly when it stops; a looked-up option's
// value is never longer than asked for.
#include <stdlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/prompts.h"
#include "diag/debuglog.h"
#include "fuzz_support.h"

namespace {

void check(bool ok, const char* what) {
    fuzz_check(ok, "command line", what);
}

// Nobody at the screen: messages are counted, questions answered No.
class CountingPrompts : public Prompts {
  public:
    void show_message(const std::string&) override { ++messages; }
    bool ask_yes_no(const std::string&, const std::string&) override {
        ++questions;
        return false;
    }
    int messages = 0;
    int questions = 0;
};

struct Values {
    double vcore = 1.65, vdimm = 2.6, vagp = 1.5, vdd = 1.6;
    int32_t tras = 11, trcd = 5, trp = 7, fsb = 166;
    CommandLineTargets targets() { return {vcore, vdimm, vagp, vdd, tras, trcd, trp, fsb}; }
    bool operator==(const Values&) const = default;
};

// The argument list as the process gets it: the program name, then the input's pieces.
std::vector<std::string> split_at_nul(const uint8_t* data, size_t size) {
    std::vector<std::string> argv{"velmora"};
    std::string piece;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            argv.push_back(piece);
            piece.clear();
        } else {
            piece += static_cast<char>(data[i]);
        }
    }
    if (size > 0 && data[size - 1] != 0)
        argv.push_back(piece);
    return argv;
}

struct Lookup {
    const char* option;
    size_t max_length;
};
// "-m" is the multiplier the start-up looks up; "-A" and "-l" are flags; the setting options
// are looked up with the parser's value length.
constexpr Lookup kLookups[] = {{"-m", 5},  {"-A", 0},  {"-l", 0},  {"-s", 25},
                               {"-r", 25}, {"-a", 25}, {"-v", 25}, {"-q", 25},
                               {"-w", 25}, {"-e", 25}, {"-f", 25}, {"-h", 0}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = fuzz_enter_work_dir();
    if (!ready)
        return 0;
    const std::vector<std::string> argv = split_at_nul(data, size);
    const std::vector<std::string> args(argv.begin() + 1, argv.end());

    const Values before;
    Values values;
    CountingPrompts prompts;
    const CommandLineResult result = parse_setting_options(args, values.targets(), prompts);
    check(prompts.questions == 0, "the command line asked a question");
    for (double v : {values.vcore, values.vdimm, values.vagp, values.vdd})
        check(std::isfinite(v), "a voltage that is not finite was taken");
    switch (result) {
        case CommandLineResult::NothingTaken:
            check(values == before, "a value changed though no option was taken");
            check(prompts.messages == 0, "a text shown though nothing stopped the parse");
            break;
        case CommandLineResult::Taken:
            check(prompts.messages == 0, "a text shown though the options were taken");
            break;
        case CommandLineResult::HelpShown:
        case CommandLineResult::Stopped:
        case CommandLineResult::Refused:
            check(prompts.messages == 1, "a stopped parse did not show exactly one text");
            break;
    }

    for (const Lookup& l : kLookups) {
        std::string value = "unchanged";
        const bool found = find_option(args, l.option, l.max_length, value);
        if (!found || l.max_length == 0) {
            check(value == "unchanged", "a lookup without a value changed it");
            continue;
        }
        check(value.size() <= l.max_length, "a looked-up value longer than asked for");
        check(std::isfinite(decimal_to_double(value)), "a value converts to no finite number");
    }
    std::remove(kDebugLogName);
    return 0;
}
