// SPDX-License-Identifier: GPL-2.0-or-later
// What the session tells the window and asks of it (window_view.cpp): the status bar, the
// readings and alarms in the main tab's fields, the values and presets in the controls, the
// choices the boxes hold, the timers stopped at the close.
#pragma once

#include <string>

#include "app/session_view.h"

class TMain;

class WindowView : public SessionView {
  public:
    explicit WindowView(TMain& window) : window_(window) {}

    void show_status(const std::string& text) override;
    void append_status(const std::string& text) override;
    bool auto_precharge_selected() override;
    void apply() override;
    bool autofsb_running() override;
    bool action_running() override;
    void show_board_source(const std::string& text) override;
    void show_values() override;
    void show_presets() override;
    TickSwitches tick_switches() override;
    void port_access_lost() override;
    void show_readings(const SensorFields& fields) override;
    void show_alarm(int item, const std::string& text) override;
    void clear_alarm(int item) override;
    void show_tick() override;
    void history_settings() override;
    void history_started() override;
    void history_changed() override;
    void show_fsb(int fsb) override;
    void show_vcore(double v) override;
    void show_vdimm(double v) override;
    void stop_timers() override;
    bool reset_at_close() override;
    void keep_choices(SavedSettings& saved) override;

  private:
    TMain& window_;
};
