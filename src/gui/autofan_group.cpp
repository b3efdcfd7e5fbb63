// SPDX-License-Identifier: GPL-2.0-or-later
// The AutoFAN group of the sensor settings tab: the fan entries of autofan.ini, and the switch,
// also in the tray menu. The step each sensor tick takes while it is on is the session's.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QString>
#include <algorithm>

#include "automation/autofan.h"
#include "gui/main_window.h"
#include "sensors/sensor.h"

// The check box and the tray item show the same state. From the tray the box is set without
// its own handler, so one click runs this once.
void AutoFanGroup::EnableAutoFan(QObject* sender) {
    if (sender == CheckBoxFANCtl)
        window_.tray.TrayAutoFan->setChecked(CheckBoxFANCtl->isChecked());
    if (sender == window_.tray.TrayAutoFan) {
        window_.tray.TrayAutoFan->setChecked(!window_.tray.TrayAutoFan->isChecked());
        const QSignalBlocker detached(CheckBoxFANCtl);
        CheckBoxFANCtl->setChecked(window_.tray.TrayAutoFan->isChecked());
    }
    // Switched off, the fans it drove run at full speed: nothing follows the temperature any
    // more. Only once the controls hold what the chips were read to hold.
    if ((sender == CheckBoxFANCtl || sender == window_.tray.TrayAutoFan) &&
        !CheckBoxFANCtl->isChecked())
        window_.AutoFanSwitchedOff();
}

// The fan entry chosen: shown, and with "Set" taken into autofan.ini.
void AutoFanGroup::Settings(QObject* sender) {
    AutoFanList* autofan_list = window_.autofan_list;
    if (sender == window_.TabSheet2 && ButtonFANSet->isEnabled() && autofan_list) {
        // The entry is shown below, once.
        const QSignalBlocker blocked(CSpinEditCtlFAN);
        CSpinEditCtlFAN->setMaximum(std::max(autofan_list->count() - 1, 0));
        CSpinEditCtlFAN->setValue(0);
    }
    AutoFanEntry* entry = nullptr;
    if (ButtonFANSet->isEnabled() && autofan_list) {
        const int number = CSpinEditCtlFAN->value();
        if (number >= 0 && number < autofan_list->count())
            entry = &autofan_list->entries[number];
    }
    if (sender == ButtonFANSet && entry) {
        // A range the wrong way round is closed at its maximum.
        if (CSpinEditFanmax->value() < CSpinEditFanmin->value())
            CSpinEditFanmin->setValue(CSpinEditFanmax->value());
        if (CSpinEditFanTmax->value() < CSpinEditFanTmin->value())
            CSpinEditFanTmin->setValue(CSpinEditFanTmax->value());
        entry->enabled = CheckBoxFanEnable->isChecked() ? 1 : 0;
        entry->auto_adjust = CheckBoxFanAA->isChecked() ? 1 : 0;
        entry->duty_max = static_cast<uint8_t>(CSpinEditFanmax->value());
        entry->duty_min = static_cast<uint8_t>(CSpinEditFanmin->value());
        entry->temp_max = static_cast<uint8_t>(CSpinEditFanTmax->value());
        entry->temp_min = static_cast<uint8_t>(CSpinEditFanTmin->value());
        autofan_save(autofan_list);
    }
    if (entry) {
        CheckBoxFanEnable->setChecked(entry->enabled != 0);
        CheckBoxFanAA->setChecked(entry->auto_adjust != 0);
        CSpinEditFanmax->setValue(entry->duty_max);
        CSpinEditFanmin->setValue(entry->duty_min);
        // A stored or learned temperature past a box's usual range widens the box, so that
        // "Set" keeps it instead of saving the box's limit.
        CSpinEditFanTmax->setMaximum(std::max<int>(kFanTempMaxTop, entry->temp_max));
        CSpinEditFanTmin->setMaximum(std::max<int>(kFanTempMinTop, entry->temp_min));
        CSpinEditFanTmax->setValue(entry->temp_max);
        CSpinEditFanTmin->setValue(entry->temp_min);
        const SensorControl* control = autofan_control(*entry, &sensor_table());
        LabelFanDuty->setText(control ? QString::number(control->value) : "NA");
    }
}

void AutoFanGroup::ShowFansFound(bool found) {
    GroupBoxFan->setTitle(found ? "Auto fan control" : "No fan controls found");
    ButtonFANSet->setEnabled(found);
    CheckBoxFanEnable->setEnabled(found);
    CSpinEditCtlFAN->setEnabled(found);
}
