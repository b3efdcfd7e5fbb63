// SPDX-License-Identifier: GPL-2.0-or-later
// The application's state that the window, the command line and the tests share, and the
// sequences that work on it without a widget. What a sequence has to tell or ask its user goes
// through SessionView and Prompts, which the window (or a test) provides.
//
// So far: the working board, the chipset record, the three sets of main values, Apply's
// decisions and their order (apply.cpp) and the command line's setting run
// (command_line_run.cpp). The rest of the window's state follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "board/boards.h"
#include "board/chipset.h"

class Prompts;

// What a session tells its user while it works, and the one selection Apply reads at its end.
class SessionView {
  public:
    virtual ~SessionView() = default;
    // The status line now shows `text`.
    virtual void show_status(const std::string& text) = 0;
    // `text` is added to what the status line shows now.
    virtual void append_status(const std::string& text) = 0;
    // Whether auto-precharge is selected (read when Apply writes the chipset, at its end).
    virtual bool auto_precharge_selected() = 0;
    // Runs Apply as its button does; at the start, before the stepping, it ends before this
    // returns.
    virtual void apply() = 0;
};

class Session {
  public:
    Session(Prompts& prompts, SessionView& view, std::vector<std::string> args)
        : args_(std::move(args)), prompts_(prompts), view_(view) {}
    virtual ~Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    int32_t board_number = NO_BOARD;
    Board board;
    ChipsetSettings chipset{};
    // The eight adjustable quantities: as the hardware held them when last read, as the
    // controls or the command line select them, and as Apply last sent them.
    struct MainValues {
        double vcore = 0.0, vdimm = 0.0, vdd = 0.0, vagp = 0.0;
        int32_t fsb = 0, tras = 0, trcd = 0, trp = 0;
    };
    MainValues values_read, values_selected, values_applied;

    // What the last voltage setter run by Apply returned: 0, or an error code.
    int last_setter_result = 0;
    // Why the last Apply left a selected value unset, one text each in the order they
    // happened: a setter's error text, a refusal, a warning answered No. Empty when every
    // selected value was applied.
    std::vector<std::string> apply_failures;
    // A core voltage that failed to set: no FSB rises on it until a setting succeeds.
    bool vcore_unsettled = false;

    // Apply's work: every selected value that differs from the applied one goes to the board,
    // the core voltage and the FSB in the order that keeps the core safe, then the table
    // voltages and the RAM timings. Straight-line hardware code: the window runs it as a
    // stepped job, the command line to its end.
    void ApplySteps();

    // The command line (command_line_run.cpp). Its setting options belong to the start: once
    // the start-up is over (with a board or without), a later StartServices (a board picked by
    // hand) shows its help and usage texts again but applies nothing.
    bool command_line_consumed = false;
    // Takes the setting options into the selected values and applies them; true when it did.
    bool ParseCommandLine();
    bool FindOption(const std::string& option, size_t max_length, std::string& value);

  protected:
    std::vector<std::string> args_;

  private:
    Prompts& prompts_;
    SessionView& view_;
};
