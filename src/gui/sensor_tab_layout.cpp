// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Sensor settings": which sensor input feeds each display item, the sensors' facts,
// their controls, and the settings of the automatic fan control.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "gui/form.h"
#include "gui/main_window.h"

namespace {
constexpr int kSpinWidth = 56;

QGridLayout* grid_of(QGroupBox* box) {
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(8, 6, 8, 8);
    grid->setVerticalSpacing(5);
    return grid;
}

void labelled(QGridLayout* grid, QWidget* control, const char* caption, int row, int column = 0) {
    grid->addWidget(form::caption_for(control, caption), row, column);
    grid->addWidget(control, row, column + 1);
}
}  // namespace

QWidget* SensorTab::Create() {
    auto* sheet = new QWidget;
    sheet->setObjectName("TabSheet2");

    // Which input of which sensor feeds a display item of the main tab.
    GroupBoxSensorSettings = form::group(sheet, "GroupBoxSensorSettings", "Sensor settings");
    CSpinEditSensor = form::spin_edit(GroupBoxSensorSettings, "CSpinEditSensor", 0, 1, 1, 0);
    CSpinEditSensorInput =
        form::spin_edit(GroupBoxSensorSettings, "CSpinEditSensorInput", 0, 1, 1, 0);
    ComboBoxSensorTyp = form::fixed_list(
        GroupBoxSensorSettings, "ComboBoxSensorTyp",
        {"CPU", "SYS", "VCore", "VDimm", "Vdd", "5V", "12V", "FAN1", "FAN2", "FAN3"});
    SensorValue = form::label(GroupBoxSensorSettings, "SensorValue", "NA");
    CSpinEditSensorUpdate = form::spin_edit(GroupBoxSensorSettings, "CSpinEditSensorUpdate", 0, 60,
                                            2, 5, "Set to 0 disables sensor updates");
    CheckBoxPort80 =
        form::check_box(GroupBoxSensorSettings, "CheckBoxPort80", "Enable Port80 LED for");
    ComboBoxPort80 = form::fixed_list(GroupBoxSensorSettings, "ComboBoxPort80", {"CPU", "SYS"});
    for (QSpinBox* spin : {CSpinEditSensor, CSpinEditSensorInput, CSpinEditSensorUpdate})
        spin->setFixedWidth(kSpinWidth);
    {
        QGridLayout* grid = grid_of(GroupBoxSensorSettings);
        labelled(grid, ComboBoxSensorTyp, "Typ", 0);
        labelled(grid, CSpinEditSensor, "Sensor", 1);
        labelled(grid, CSpinEditSensorInput, "Input", 2);
        labelled(grid, SensorValue, "Value", 3);
        labelled(grid, CSpinEditSensorUpdate, "Update frequency (sec)", 4);
        grid->addWidget(CheckBoxPort80, 5, 0);
        grid->addWidget(ComboBoxPort80, 5, 1);
        grid->setColumnStretch(2, 1);
        grid->setRowStretch(6, 1);
        form::keyboard_order({ComboBoxSensorTyp, CSpinEditSensor, CSpinEditSensorInput,
                              CSpinEditSensorUpdate, CheckBoxPort80, ComboBoxPort80});
    }

    // Name and input counts of the sensor chosen above.
    GroupBoxSensorInfo = form::group(sheet, "GroupBoxSensorInfo", "Sensor information");
    SensorInfoName = form::label(GroupBoxSensorInfo, "SensorInfoName", "", "Sensor name");
    SensorInfoTemps =
        form::label(GroupBoxSensorInfo, "SensorInfoTemps", "", "Nr. of temperature inputs");
    SensorInfoVts = form::label(GroupBoxSensorInfo, "SensorInfoVts", "", "Nr. of voltage inputs");
    SensorInfoFANs = form::label(GroupBoxSensorInfo, "SensorInfoFANs", "", "Nr. of fan inputs");
    SensorInfoCTLs = form::label(GroupBoxSensorInfo, "SensorInfoCTLs", "",
                                 "Nr. of controls (FAN speed, other outputs)");
    {
        QGridLayout* grid = grid_of(GroupBoxSensorInfo);
        labelled(grid, SensorInfoName, "Name:", 0);
        labelled(grid, SensorInfoTemps, "Temp. inputs:", 1);
        labelled(grid, SensorInfoVts, "Voltage inputs:", 2);
        labelled(grid, SensorInfoFANs, "FAN inputs:", 3);
        labelled(grid, SensorInfoCTLs, "Controls:", 4);
        grid->setColumnStretch(1, 1);
        grid->setRowStretch(5, 1);
    }

    // Any control of any sensor, read and set by hand. The control number's maximum follows
    // the chosen sensor; until then it stays within a byte like the others.
    GroupBoxSensorCTL = form::group(sheet, "GroupBoxSensorCTL", "Sensor controls");
    CSpinEditCTLSensor = form::spin_edit(GroupBoxSensorCTL, "CSpinEditCTLSensor", 0, 255, 1, 0);
    CSpinEditCTL = form::spin_edit(GroupBoxSensorCTL, "CSpinEditCTL", 0, 255, 1, 0);
    CSpinEditCTLvalue = form::spin_edit(GroupBoxSensorCTL, "CSpinEditCTLvalue", 0, 255, 1, 0);
    LabelCTLdescr = form::label(GroupBoxSensorCTL, "LabelCTLdescr", "");
    ButtonSetCTLvalue = form::button(GroupBoxSensorCTL, "ButtonSetCTLvalue", "Set");
    for (QSpinBox* spin : {CSpinEditCTLSensor, CSpinEditCTL, CSpinEditCTLvalue})
        spin->setFixedWidth(kSpinWidth);
    {
        QGridLayout* grid = grid_of(GroupBoxSensorCTL);
        labelled(grid, CSpinEditCTLSensor, "Sensor", 0);
        labelled(grid, CSpinEditCTL, "Control", 1);
        labelled(grid, CSpinEditCTLvalue, "Value", 2);
        grid->addWidget(ButtonSetCTLvalue, 2, 2);
        grid->addWidget(form::caption_for(LabelCTLdescr, "Description:"), 3, 0);
        grid->addWidget(LabelCTLdescr, 3, 1, 1, 3);
        grid->setColumnStretch(3, 1);
        grid->setRowStretch(4, 1);
    }

    window_.autofan_group.Create(sheet);

    GroupBoxSensorLimits = form::group(sheet, "GroupBoxSensorLimits", "Sensor limits");
    CSpinEditCpuLimit =
        form::spin_edit(GroupBoxSensorLimits, "CSpinEditCpuLimit", 0, kAlarmLimitTop, 1, 0,
                        "An alarm when the CPU temperature passes it; 0 = off");
    CSpinEditSysLimit =
        form::spin_edit(GroupBoxSensorLimits, "CSpinEditSysLimit", 0, kAlarmLimitTop, 1, 0,
                        "An alarm when the SYS temperature passes it; 0 = off");
    for (QSpinBox* spin : {CSpinEditCpuLimit, CSpinEditSysLimit})
        spin->setFixedWidth(kSpinWidth);
    {
        auto* row = new QHBoxLayout(GroupBoxSensorLimits);
        row->setContentsMargins(6, 4, 6, 6);
        row->addWidget(form::caption_for(CSpinEditCpuLimit, "CPU max. (\u00B0C)"));
        row->addWidget(CSpinEditCpuLimit);
        row->addSpacing(16);
        row->addWidget(form::caption_for(CSpinEditSysLimit, "SYS max. (\u00B0C)"));
        row->addWidget(CSpinEditSysLimit);
        row->addStretch(1);
    }

    auto* page = new QGridLayout(sheet);
    page->setContentsMargins(6, 6, 6, 6);
    page->addWidget(GroupBoxSensorSettings, 0, 0);
    page->addWidget(GroupBoxSensorInfo, 0, 1);
    page->addWidget(GroupBoxSensorCTL, 1, 0);
    page->addWidget(window_.autofan_group.GroupBoxFan, 1, 1);
    page->addWidget(GroupBoxSensorLimits, 2, 0, 1, 2);
    page->setRowStretch(2, 1);
    page->setRowMinimumHeight(2, 40);
    return sheet;
}

// Automatic fan control: one entry per fan control, chosen by number.
QGroupBox* AutoFanGroup::Create(QWidget* sheet) {
    GroupBoxFan = form::group(sheet, "GroupBoxFan", "Auto fan control");
    CSpinEditCtlFAN =
        form::spin_edit(GroupBoxFan, "CSpinEditCtlFAN", 0, 3, 1, 0, "Fan control number");
    CSpinEditFanmin = form::spin_edit(GroupBoxFan, "CSpinEditFanmin", 0, 255, 1, 255, "Fan speed");
    CSpinEditFanmax = form::spin_edit(GroupBoxFan, "CSpinEditFanmax", 0, 255, 1, 255, "Fan speed");
    CSpinEditFanTmin = form::spin_edit(GroupBoxFan, "CSpinEditFanTmin", 0, kFanTempMinTop, 1, 30,
                                       "estimated min. temp");
    CSpinEditFanTmax = form::spin_edit(GroupBoxFan, "CSpinEditFanTmax", 0, kFanTempMaxTop, 1, 50,
                                       "estimated max. temp");
    CheckBoxFanEnable = form::check_box(GroupBoxFan, "CheckBoxFanEnable", "Enable");
    CheckBoxFanAA = form::check_box(GroupBoxFan, "CheckBoxFanAA", "Auto adjust",
                                    "Automatically adjusts min. and max. CPU temperature range");
    LabelFanDuty = form::label(GroupBoxFan, "LabelFanDuty", "255");
    ButtonFANSet = form::button(GroupBoxFan, "ButtonFANSet", "Set");
    CheckBoxFANCtl = form::check_box(GroupBoxFan, "CheckBoxFANCtl", "Enable FAN control");
    for (QSpinBox* spin :
         {CSpinEditCtlFAN, CSpinEditFanmin, CSpinEditFanmax, CSpinEditFanTmin, CSpinEditFanTmax})
        spin->setFixedWidth(kSpinWidth);
    {
        QGridLayout* grid = grid_of(GroupBoxFan);
        labelled(grid, CSpinEditCtlFAN, "Control", 0);
        grid->addWidget(CheckBoxFanEnable, 0, 2, 1, 2);
        grid->addWidget(new QLabel("min", GroupBoxFan), 1, 1, Qt::AlignHCenter);
        grid->addWidget(new QLabel("max", GroupBoxFan), 1, 2, Qt::AlignHCenter);
        grid->addWidget(form::caption_for(CSpinEditFanmin, "Duty cycle"), 2, 0);
        grid->addWidget(CSpinEditFanmin, 2, 1);
        grid->addWidget(CSpinEditFanmax, 2, 2);
        grid->addWidget(form::caption_for(CSpinEditFanTmin, "Temperature"), 3, 0);
        grid->addWidget(CSpinEditFanTmin, 3, 1);
        grid->addWidget(CSpinEditFanTmax, 3, 2);
        grid->addWidget(CheckBoxFanAA, 4, 0, 1, 3);
        labelled(grid, LabelFanDuty, "Current:", 5);
        grid->addWidget(ButtonFANSet, 5, 2);
        grid->addWidget(CheckBoxFANCtl, 6, 0, 1, 4);
        grid->setColumnStretch(3, 1);
        grid->setRowStretch(7, 1);
        form::keyboard_order({CSpinEditCtlFAN, CheckBoxFanEnable, CSpinEditFanmin, CSpinEditFanmax,
                              CSpinEditFanTmin, CSpinEditFanTmax, CheckBoxFanAA, ButtonFANSet,
                              CheckBoxFANCtl});
    }
    return GroupBoxFan;
}
