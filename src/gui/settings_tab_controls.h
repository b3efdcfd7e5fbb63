// SPDX-License-Identifier: GPL-2.0-or-later
// The controls of the "Settings" and "About" tabs, named as in the form.
// settings_tab_layout.cpp builds them; SettingsTab (settings_tab.h) owns them.
#pragma once

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

struct SettingsTabControls {
    // Tab "Settings".
    QGroupBox* GroupBox1 = nullptr;
    QSpinBox* CSpinEditLoadUpdate = nullptr;
    QCheckBox* CheckBoxReset = nullptr;
    QCheckBox* CheckBoxMinimized = nullptr;
    QGroupBox* GroupBoxBoard = nullptr;
    QComboBox* ComboBoxBoard = nullptr;
    QPushButton* Button1 = nullptr;

    // Tab "About".
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* LabelBoardSource = nullptr;  // real or simulated board
};
