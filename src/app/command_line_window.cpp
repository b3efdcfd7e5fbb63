// The command line as the window runs it: setting options go into the selected values and are
// applied like the Apply button applies them.
#include "app/command_line.h"
#include "app/debuglog.h"
#include "gui/main_window.h"

bool TMain::ParseCommandLine() {
    debug_print("VELMORA: Parsing command-line options\n");
    MainValues& v = values_selected;
    const CommandLineResult result = parse_setting_options(
        args_, {v.vcore, v.vdimm, v.vagp, v.vdd, v.tras, v.trcd, v.trp, v.fsb}, prompts_);
    if (result != CommandLineResult::Taken) return false;
    Apply();
    return true;
}

bool TMain::FindOption(const std::string& option, size_t max_length, std::string& value) {
    return find_option(args_, option, max_length, value);
}
