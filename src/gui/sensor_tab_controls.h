// SPDX-License-Identifier: GPL-2.0-or-later
// The controls of the "Sensor settings" tab, named as in the form: the sensor map, the chips
// found, their controls and the temperature limits; and those of its AutoFAN group.
// sensor_tab_layout.cpp builds them.
#pragma once

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

struct SensorTabControls {
    // Tab "Sensor settings".
    QGroupBox* GroupBoxSensorSettings = nullptr;
    QSpinBox* CSpinEditSensor = nullptr;
    QSpinBox* CSpinEditSensorInput = nullptr;
    QComboBox* ComboBoxSensorTyp = nullptr;
    QLabel* SensorValue = nullptr;
    QSpinBox* CSpinEditSensorUpdate = nullptr;
    QCheckBox* CheckBoxPort80 = nullptr;
    QComboBox* ComboBoxPort80 = nullptr;
    QGroupBox* GroupBoxSensorInfo = nullptr;
    QLabel* SensorInfoName = nullptr;
    QLabel* SensorInfoTemps = nullptr;
    QLabel* SensorInfoVts = nullptr;
    QLabel* SensorInfoFANs = nullptr;
    QLabel* SensorInfoCTLs = nullptr;
    QGroupBox* GroupBoxSensorCTL = nullptr;
    QSpinBox* CSpinEditCTLSensor = nullptr;
    QSpinBox* CSpinEditCTL = nullptr;
    QSpinBox* CSpinEditCTLvalue = nullptr;
    QLabel* LabelCTLdescr = nullptr;
    QPushButton* ButtonSetCTLvalue = nullptr;
    QGroupBox* GroupBoxSensorLimits = nullptr;
    QSpinBox* CSpinEditCpuLimit = nullptr;  // °C, 0 = off
    QSpinBox* CSpinEditSysLimit = nullptr;
};

// The AutoFAN group of the "Sensor settings" tab: one fan entry of autofan.ini at a time, and
// the switch.
struct AutoFanGroupControls {
    QGroupBox* GroupBoxFan = nullptr;
    QSpinBox* CSpinEditCtlFAN = nullptr;
    QSpinBox* CSpinEditFanmin = nullptr;
    QSpinBox* CSpinEditFanmax = nullptr;
    QSpinBox* CSpinEditFanTmin = nullptr;
    QSpinBox* CSpinEditFanTmax = nullptr;
    QCheckBox* CheckBoxFanEnable = nullptr;
    QCheckBox* CheckBoxFanAA = nullptr;
    QLabel* LabelFanDuty = nullptr;
    QPushButton* ButtonFANSet = nullptr;
    QCheckBox* CheckBoxFANCtl = nullptr;
    // The AutoFAN temperature boxes' usual tops; a stored value above one widens its box.
    static constexpr int kFanTempMinTop = 60;
    static constexpr int kFanTempMaxTop = 80;
};
