// SPDX-License-Identifier: GPL-2.0-or-later
// What a session tells its user and asks of it: the window, a run without a window and the
// tests each provide a SessionView.
#pragma once

#include <string>

#include "app/main_settings.h"

struct SensorFields;

// What a sensor tick follows of the user's choices: the window's boxes, or the settings for a
// run without a window.
struct TickSwitches {
    bool autofan = false;              // AutoFAN drives the fans
    bool port80 = false;               // a temperature on the port-80h display
    int port80_pair = 0;               // which: 0 CPU, 1 SYS
    bool down_on_temperature = false;  // AutoFSB goes down at its maximum CPU temperature
    int cpu_limit = 0, sys_limit = 0;  // the alarms' limits, °C; 0: off
    int update_seconds = 0;            // the period of the ticks
};

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
    // Runs Apply as its button does; at the start, before the stepping, and at the close it
    // ends before this returns.
    virtual void apply() = 0;
    // Whether AutoFSB runs now (its switch is on).
    virtual bool autofsb_running() = 0;
    // Whether an Apply, a preset or an AutoFSB run is stepping.
    virtual bool action_running() = 0;

    // The sensor tick (sensor_cycle.cpp): what it follows, and what it has to show.
    virtual TickSwitches tick_switches() = 0;
    // The port grant was lost under a read: get it back, or end the process.
    virtual void port_access_lost() = 0;
    virtual void show_readings(const SensorFields& fields) = 0;
    // Alarm `item` (0 CPU, 1 SYS) passed its limit, told by `text`; or fell back below it.
    virtual void show_alarm(int item, const std::string& text) = 0;
    virtual void clear_alarm(int item) = 0;
    // The clock, the load and the tray's hint after the readings.
    virtual void show_tick() = 0;
    // The history: its settings taken (once), its first sample coming, a sample or mark added.
    virtual void history_settings() = 0;
    virtual void history_started() = 0;
    virtual void history_changed() = 0;

    // The main tab's controls moved to a value AutoFSB set (their handlers select it).
    virtual void show_fsb(int fsb) = 0;
    virtual void show_vcore(double v) = 0;
    virtual void show_vdimm(double v) = 0;

    // The start: which board this is (real or simulated); the values read, in the controls;
    // the presets loaded.
    virtual void show_board_source(const std::string& text) = 0;
    virtual void show_values() = 0;
    virtual void show_presets() = 0;

    // The close: no timer may tick any more; whether the values found at the start go back to
    // the board; the user's choices that the view holds, into what is saved.
    virtual void stop_timers() = 0;
    virtual bool reset_at_close() = 0;
    virtual void keep_choices(SavedSettings& saved) = 0;
};
