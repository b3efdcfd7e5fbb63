// SPDX-License-Identifier: GPL-2.0-or-later
// The History tab and the CSV file's box on the Settings tab (history_tab.cpp, history_chart.h):
// every sensor tick's readings for the last hours in charts, and the file they are logged to.
#pragma once

#include <string>

#include "gui/history_tab_controls.h"

class QObject;
class QWidget;
class TMain;

class HistoryTab : public HistoryTabControls {
  public:
    explicit HistoryTab(TMain& window) : window_(window) {}
    QWidget* CreateCsvFileGroup(QWidget* sheet);
    // The tab, with the first reading.
    void Start();
    // The stored CSV file into its control, once.
    void ShowStoredSettings();
    bool settings_shown() const { return settings_shown_; }
    // A new sample: the chart repaints when it shows.
    void Changed();
    // The file name as config.ini can keep it.
    std::string CsvFileSetting() const;

    // Event handlers (the sender convention is TMain's).
    void HistoryRangeChange(QObject* sender = nullptr);
    void CsvFileChange(QObject* sender = nullptr);

  private:
    TMain& window_;
    bool settings_shown_ = false;
};
