// SPDX-License-Identifier: GPL-2.0-or-later
// The controls of the "Main" tab, named as in the form: the sensor fields, the four voltages,
// the RAM timings and the FSB, the clock and load display and the main buttons; and those of
// its AutoFSB group (limits, timing, presets). main_tab_layout.cpp builds them.
#pragma once

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class UpDown;

struct MainTabControls {
    // Tab "Main": sensor fields.
    QGroupBox* GroupSensor = nullptr;
    QLineEdit* SensorVcore = nullptr;
    QLineEdit* SensorVdimm = nullptr;
    QLineEdit* SensorVdd = nullptr;
    QLineEdit* SensorTemp = nullptr;
    QLineEdit* SensorSysTemp = nullptr;
    QLineEdit* SensorFan1 = nullptr;
    QLineEdit* SensorFan2 = nullptr;
    QLineEdit* SensorFan3 = nullptr;
    QLineEdit* Sensor5V = nullptr;
    QLineEdit* Sensor12V = nullptr;
    // Tab "Main": voltages.
    QGroupBox* GroupBoxVCore = nullptr;
    QSlider* TrackBarVcore = nullptr;
    UpDown* UpDownVcore = nullptr;
    QLineEdit* EditVCore = nullptr;
    QLabel* LabelVCoreMax = nullptr;
    QLabel* LabelVCoreMin = nullptr;
    QGroupBox* GroupBoxVdimm = nullptr;
    QSlider* TrackBarVdimm = nullptr;
    QLineEdit* EditVdimm = nullptr;
    QLabel* LabelVdimmMax = nullptr;
    QLabel* LabelVdimmMin = nullptr;
    QGroupBox* GroupBoxVagp = nullptr;
    QSlider* TrackBarVagp = nullptr;
    QLineEdit* EditVagp = nullptr;
    QLabel* LabelVagpMax = nullptr;
    QLabel* LabelVagpMin = nullptr;
    QGroupBox* GroupBoxVdd = nullptr;
    QSlider* TrackBarVdd = nullptr;
    QLineEdit* EditVdd = nullptr;
    QLabel* LabelVddMax = nullptr;
    QLabel* LabelVddMin = nullptr;
    // Tab "Main": RAM timings and FSB.
    QGroupBox* GroupBoxRam = nullptr;
    QComboBox* ComboBoxTras = nullptr;
    QComboBox* ComboBoxTrcd = nullptr;
    QComboBox* ComboBoxTrp = nullptr;
    QCheckBox* CheckBoxAutoPC = nullptr;
    QGroupBox* GroupBoxFSB = nullptr;
    QSlider* TrackBarFSB = nullptr;
    UpDown* UpDownFSB = nullptr;
    QLineEdit* EditFSB = nullptr;
    QLineEdit* EditCPU = nullptr;
    // Tab "Main": clock and load display, the main buttons.
    QGroupBox* GroupBoxDisplay = nullptr;
    QLabel* DisplayMhz = nullptr;
    QLabel* DisplayLoad = nullptr;
    QPushButton* ButtonApply = nullptr;
    QPushButton* ButtonExit = nullptr;
    QPushButton* ButtonReset = nullptr;
};

// The AutoFSB group of the "Main" tab: the FSB range, the switch, the load and temperature
// limits, the step timing and the presets.
struct AutoFsbGroupControls {
    QGroupBox* GroupBoxLoad = nullptr;
    QLineEdit* EditMaxFSB = nullptr;
    QLineEdit* EditMinFSB = nullptr;
    QPushButton* ButtonMaxFSB = nullptr;
    QPushButton* ButtonMinFSB = nullptr;
    QCheckBox* CheckBoxAutoFSB = nullptr;
    QSpinBox* CSpinEditMaxTemp = nullptr;
    QCheckBox* CheckBoxTemp = nullptr;
    QComboBox* ComboBoxDelayChange = nullptr;
    QSpinBox* CSpinEditDelayMax = nullptr;
    QSpinBox* CSpinEditDelayMin = nullptr;
    QSpinBox* CSpinEditMaxLoad = nullptr;
    QSpinBox* CSpinEditMinLoad = nullptr;
    QComboBox* ComboBoxPreset = nullptr;
    QPushButton* ButtonPresetAdd = nullptr;
    QPushButton* ButtonPresetDel = nullptr;
    QPushButton* ButtonPresetApply = nullptr;
};
