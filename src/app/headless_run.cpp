// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/headless_run.h"

#include <utility>

#include "app/command_line.h"
#include "app/long_options.h"
#include "app/prompts.h"
#include "app/session.h"
#include "diag/debuglog.h"
#include "platform/platform.h"

namespace {

const char* const kNoBoard =
    "No board is known: start velmora with its window once and pick the board on the "
    "Settings tab. Nothing was applied.";

// The session with nobody to show a status to. The auto-precharge box would show the chipset's
// own setting, which a command line cannot change; Apply runs to its end at once.
class HeadlessRun : private SessionView, public Session {
  public:
    HeadlessRun(Prompts& prompts, std::vector<std::string> args, StartupNotes notes)
        : Session(prompts, *this, std::move(args), std::move(notes)) {}

    int Run() {
        // The start is the window's, so that the log of the run is the same with a window or
        // without one.
        const Started started = Start();
        if (started == Started::Ended)
            return 1;
        const bool with_board = started == Started::WithBoard;
        if (has_flag(args_, "--read")) {
            ReadOut(with_board);
            return 0;
        }
        if (!with_board) {
            debug_print("VELMORA: No board known, command-line settings not applied\n");
            prompts_.show_refusal(kNoBoard);
            return kExitNotApplied;
        }
        if (!ParseCommandLine())
            return kExitRefusedValue;
        return SettingRunExitCode();
    }

  private:
    void show_status(const std::string&) override {}
    void append_status(const std::string&) override {}
    bool auto_precharge_selected() override { return chipset.auto_precharge != 0; }
    void apply() override { ApplySteps(); }
    bool autofsb_running() override { return false; }
    bool action_running() override { return false; }
    // A run that ends by itself takes no sensor tick; were it to, it would follow the settings.
    TickSwitches tick_switches() override {
        TickSwitches s;
        s.autofan = settings.autofan_enable != 0;
        s.port80 = settings.port80 != 0;
        s.port80_pair = settings.port80_type;
        s.down_on_temperature = settings.down_mt > 0;
        s.cpu_limit = settings.cpu_limit;
        s.sys_limit = settings.sys_limit;
        s.update_seconds = validated_update(settings.update);
        return s;
    }
    void port_access_lost() override {}
    void show_readings(const SensorFields&) override {}
    void show_alarm(int, const std::string&) override {}
    void clear_alarm(int) override {}
    void show_tick() override {}
    void history_settings() override {}
    void history_started() override {}
    void history_changed() override {}
    void show_board_source(const std::string&) override {}
    void show_values() override {}
    void show_presets() override {}
    void stop_timers() override {}
    bool reset_at_close() override { return false; }
    void keep_choices(SavedSettings&) override {}
    void show_fsb(int) override {}
    void show_vcore(double) override {}
    void show_vdimm(double) override {}  // a run that ends by itself saves nothing
};

}  // namespace

bool runs_without_window(const std::vector<std::string>& args) {
    return has_flag(args, "--read") || setting_run_asked(args);
}

void run_without_window(Prompts& prompts, std::vector<std::string> args, StartupNotes notes) {
    HeadlessRun run(prompts, std::move(args), std::move(notes));
    const int code = run.Run();
    current_platform().exit_process(code);
}
