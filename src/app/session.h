// SPDX-License-Identifier: GPL-2.0-or-later
// The application's state that the window, the command line and the tests share, and the
// sequences that work on it without a widget. What a sequence has to tell or ask its user goes
// through SessionView and Prompts, which the window (or a test) provides.
//
// Here: the port grant and the board read at start (session_start.cpp), the stored settings,
// the sensors found and their map, the three sets of main values, Apply's decisions and their
// order (apply.cpp), the command line's setting run (command_line_run.cpp) and the read-out of
// --read (read_out_run.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/main_settings.h"
#include "app/port_setup.h"
#include "board/boards.h"
#include "board/chipset.h"
#include "sensors/sensor.h"
#include "sensors/smi.h"

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
    // Whether AutoFSB runs now (its switch is on).
    virtual bool autofsb_running() = 0;
};

class Session {
  public:
    Session(Prompts& prompts, SessionView& view, std::vector<std::string> args,
            StartupNotes notes = {})
        : args_(std::move(args)), notes_(std::move(notes)), prompts_(prompts), view_(view) {}
    virtual ~Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The start (session_start.cpp). OpenPorts gets the ports granted as the system wants it
    // and passes the gates before the first SMBus transaction; false when the run ends.
    bool OpenPorts();
    // "Running on the real board." or which board is simulated; LogBoardSource logs it.
    std::string BoardSourceText() const;
    void LogBoardSource();
    // The board table, the board (kept, from config.ini or from the BIOS), the stored settings
    // and, when asked, the values the hardware holds: the window's InitValues without its
    // controls. True when a board is in use.
    bool ReadBoard(bool read_hardware);
    // The stored settings, each replacing its default only when config.ini has it.
    void LoadSettings();
    // The user's own sensor map first; the map that comes with the program only for a board
    // the user has none for. With neither, the map stays as it was.
    void LoadSensorMap();
    // --read: prints the board as read at start (with_board: a board was found) and ends the
    // process with 0; nothing is written (read_out_run.cpp).
    void ReadOut(bool with_board);

    uint32_t port_access_result = 0;
    int32_t board_count = 0;
    std::vector<Board> board_list;
    int32_t board_number = NO_BOARD;
    Board board;
    // The board's fixed VID-chip address answered none of its registers at the last reading:
    // the chip counts as not found.
    bool vid_chip_silent = false;
    SmiInterface smi;
    ChipsetSettings chipset{};
    double cpu_multiplier = 0.0;
    // config.ini: the stored settings.
    MainSettings settings;
    // Sensors: how many were found, which reading each sensor field shows, the CPU
    // temperature as last shown, and whether the readings were refreshed at least once
    // (before that the control values are not the chips', and nothing is written back).
    int32_t sensor_count = 0;
    SensorMap sensor_map{};
    int32_t cpu_temperature = 0;
    bool cpu_temperature_known = false;  // the CPU item is mapped and gave a reading
    bool sensors_read_once = false;
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
    StartupNotes notes_;
    // The AutoFSB switch was set from config.ini once; a later reload of the settings keeps
    // the switch's state instead of the stored one.
    bool autofsb_switch_set_ = false;

  private:
    Prompts& prompts_;
    SessionView& view_;
};
