// SPDX-License-Identifier: GPL-2.0-or-later
// A session's view for the tests of the core: what the session tells it is recorded, and what it
// asks is answered from plain fields.
#pragma once

#include <string>
#include <vector>

#include "app/session.h"

class RecordingView : public SessionView {
  public:
    TickSwitches switches;
    std::vector<std::string> told;  // status texts and alarms, in order
    std::string status;             // what the status line shows now
    int history_starts = 0;
    bool reset = false;          // the values found at the start go back at the close
    Session* session = nullptr;  // set: apply() runs Apply on it, as the window's button does
    int timers_stopped = 0;
    int shown_fsb = 0;  // the main tab's controls as AutoFSB moved them
    double shown_vcore = 0.0, shown_vdimm = 0.0;

    void show_status(const std::string& text) override {
        told.push_back(text);
        status = text;
    }
    void append_status(const std::string& text) override {
        status += text;
        told.push_back(status);
    }
    // As the chipset holds it, as the window's box shows it after the start.
    bool auto_precharge_selected() override {
        return session && session->chipset.auto_precharge != 0;
    }
    void apply() override {
        if (session)
            session->ApplySteps();
    }
    bool autofsb_running() override { return false; }
    bool action_running() override { return false; }
    TickSwitches tick_switches() override { return switches; }
    void port_access_lost() override {}
    void show_readings(const SensorFields&) override {}
    void show_alarm(int item, const std::string& text) override {
        told.push_back(std::to_string(item) + " " + text);
    }
    void clear_alarm(int item) override { told.push_back(std::to_string(item) + " cleared"); }
    void show_tick() override {}
    void history_settings() override {}
    void history_started() override { ++history_starts; }
    void history_changed() override {}
    void show_board_source(const std::string&) override {}
    void show_values() override {}
    void show_presets() override {}
    void stop_timers() override { ++timers_stopped; }
    bool reset_at_close() override { return reset; }
    void keep_choices(SavedSettings&) override {}
    void show_fsb(int fsb) override { shown_fsb = fsb; }
    void show_vcore(double v) override { shown_vcore = v; }
    void show_vdimm(double v) override { shown_vdimm = v; }
};
