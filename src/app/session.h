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
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/kernel_access.h"
#include "app/main_settings.h"
#include "app/port_setup.h"
#include "app/session_view.h"
#include "automation/alarms.h"
#include "automation/autofsb.h"
#include "automation/history.h"
#include "automation/history_csv.h"
#include "board/boards.h"
#include "board/chipset.h"
#include "sensors/sensor.h"
#include "sensors/smi.h"

class Prompts;
struct AutoFanList;

class Session {
  public:
    Session(Prompts& prompts, SessionView& view, std::vector<std::string> args,
            StartupNotes notes = {})
        : args_(std::move(args)), notes_(std::move(notes)), prompts_(prompts), view_(view) {}
    virtual ~Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The start every run takes, with a window or without (session_start.cpp): the banner, one
    // copy only, the port grant, which board this is, the board and its values. Ended: the run
    // ends here, and the process was told so.
    enum class Started { Ended, WithBoard, WithoutBoard };
    Started Start();
    // The board, the settings and, when asked, the hardware's values read again, shown, and the
    // presets loaded. True when a board is in use.
    bool InitValues(bool read_hardware);
    // The port grant back after a resume took it, and the values read again; without it the
    // process ends.
    void RegainPortAccess();
    // True (logged) when the gap since the last tick says the machine slept.
    bool StandbyDetected();
    // Runs once, whichever way the run ends (session_close.cpp): the timers stopped, the settings
    // saved, the fans and the port-80h display left safe, and, when asked, the values found at
    // the start written back.
    void Close();

    // The start's parts. OpenPorts gets the ports granted as the system wants it and, beside
    // the kernel's drivers, takes what the kernel offers before the first SMBus transaction;
    // false when the run ends.
    bool OpenPorts();
    bool HasArg(const std::string& option) const;
    // A kernel driver holds the VID chip the board uses (or, for a board whose chip is
    // searched, one of the addresses searched): its message is shown and no voltage is
    // touched. False when none does.
    bool VidChipHeldByKernel();
    // "Running on the real board." or which board is simulated; LogBoardSource logs it.
    std::string BoardSourceText() const;
    void LogBoardSource();
    // The board table, the board (kept, from config.ini or from the BIOS), the stored settings
    // and, when asked, the values the hardware holds. True when a board is in use.
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
    // How each resource is reached beside the kernel's drivers (Linux); empty elsewhere.
    KernelAccess kernel_access;
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
    // The CPU and SYS temperature alarms.
    Alarm alarms_[2];
    // The fan controls AutoFAN drives (autofan.cpp owns the list); null until the start looked
    // for them.
    AutoFanList* autofan_list = nullptr;
    // AutoFSB: the engine's state. Its settings are copied in from `settings` at each tick;
    // the armed flags live here between ticks. A run walks the FSB to one of its limits.
    AutoFsbState autofsb;
    bool autofsb_run_active = false;
    int autofsb_run_target = 0;  // the limit the run in progress walks to, MHz
    bool warned_no_cpu_temperature_ = false;
    bool closing_ = false;  // the close has run
    // Every sensor tick's readings for the last hours, and the CSV log; the FSB and core
    // voltage the next history marks start from.
    std::unique_ptr<History> history;
    HistoryCsv history_csv;
    int history_marked_fsb_ = 0;
    double history_marked_vcore_ = 0.0;
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

    // The hardware monitors found (logged when none is), and the fan controls AutoFAN can
    // drive, with their settings from autofan.ini (sensor_cycle.cpp).
    bool FindSensors();
    bool FindFans();
    // One tick of the sensor update cycle (sensor_cycle.cpp); AutoFAN steps only on the ticks
    // of the update period (`timer_tick`), not on a reading taken in between.
    void SensorCycle(bool timer_tick);
    // After an Apply, a preset or an AutoFSB run: a mark for a changed FSB or core voltage.
    void MarkHistoryChanges();
    // AutoFAN switched off: the fans it drove run at full speed, nothing follows the temperature
    // any more; only once the controls hold what the chips were read to hold.
    void AutoFanSwitchedOff();
    // At close: the port-80h display shows FF and every fan runs at full speed.
    void LeaveSensorsSafe();
    // config.ini and sensor.ini, once at the close (session_close.cpp); a file that could not
    // be written is said on standard error.
    void SaveSettings();

    // AutoFSB (autofsb_tick.cpp). The refusal of limits it cannot work with, or null; the
    // switch set (status and log); the engine's inputs for a tick; whether the tick of the up
    // (or down) timer asks for a run, and the run, stepped by its caller; what the run left
    // taken as applied, shown and said.
    const char* AutoFsbRefusal() const;
    void AutoFsbSwitched(bool on);
    void AutoFsbInputs();
    bool AutoFsbDue(bool up);
    int AutoFsbRun();
    void AutoFsbRunEnded(int result);

    // The chipset options (chipset_run.cpp): the stored ones written when config.ini asks for
    // it at start (true when it did), and the ones the user set; what the chipset did not
    // take, empty when it took all.
    bool LoadStoredChipsetOptions();
    std::string SetChipsetOptions(const ChipsetSettings& chosen);

    // A board picked by hand (board_change.cpp): whether it is one of the table (a pick that is
    // not is logged), and the change to it before it is read.
    bool BoardPickable(int32_t picked) const;
    void ChangeBoard(int32_t picked);

    // The preset stored for `fsb` as the selection Apply writes (preset_select.cpp); false, with
    // the selection as it was, for none stored or one with values too low to set by hand.
    bool SelectPreset(int fsb);

    // The command line (command_line_run.cpp). Its setting options belong to the start: once
    // the start-up is over (with a board or without), a later StartServices (a board picked by
    // hand) shows its help and usage texts again but applies nothing.
    bool command_line_consumed = false;
    // Takes the setting options into the selected values and applies them; true when it did.
    bool ParseCommandLine();
    bool FindOption(const std::string& option, size_t max_length, std::string& value);
    // How the setting run ends: a signal that came meanwhile as the signal would have, else
    // whether every setting was applied.
    int SettingRunExitCode() const;
    // "-m 11.5": the CPU multiplier for the clock shown; true when the option was given.
    bool TakeMultiplierOption();

  protected:
    void CheckAlarms(const TickSwitches& switches);
    void RecordHistory(const TickSwitches& switches);
    void ArmOverTemperature(const TickSwitches& switches);
    void ShowPort80Temperature(int pair);

    std::vector<std::string> args_;
    StartupNotes notes_;
    // The AutoFSB switch was set from config.ini once; a later reload of the settings keeps
    // the switch's state instead of the stored one.
    bool autofsb_switch_set_ = false;
    // Questions and messages, for the session and its view alike.
    Prompts& prompts_;

  private:
    SessionView& view_;
};
