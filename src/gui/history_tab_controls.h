// SPDX-License-Identifier: GPL-2.0-or-later
// The History tab's controls and the CSV file's box on the Settings tab. The tab comes with the
// first reading, after the five others (history_tab.cpp).
#pragma once

class HistoryChart;
class QComboBox;
class QLineEdit;
class QWidget;

struct HistoryTabControls {
    QWidget* TabSheet6 = nullptr;
    QComboBox* ComboBoxHistoryRange = nullptr;
    HistoryChart* HistoryChart1 = nullptr;
    QLineEdit* EditCsvFile = nullptr;  // on the Settings tab; empty: no CSV log
};
