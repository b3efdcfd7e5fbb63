// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Sensor settings": which input of which sensor feeds each display item of the main tab
// (the sensor map), the chosen input's value, the sensors' facts, and any sensor control read
// and set by hand.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QString>
#include <algorithm>

#include "automation/autofan.h"
#include "diag/number_text.h"
#include "gui/main_window.h"
#include "sensors/sensor_map.h"

namespace {

// The detected sensor at a table index; nullptr past the sensors found.
Sensor* sensor_at(int index, int32_t sensor_count) {
    SensorTable& table = sensor_table();
    if (index < 0 || index >= sensor_count || index >= table.count)
        return nullptr;
    return &table.sensors[index];
}

// The largest table index, kept at 0 without sensors: a spin edit with a negative maximum
// would drag its minimum below 0 too.
int last_sensor_index(int32_t sensor_count) {
    return std::max(sensor_count - 1, 0);
}

// A channel's reading as the driver holds it: converter counts stay counts here (the main
// tab scales its own copies). Voltages in general form with up to 15 significant digits.
QString reading_text(const Sensor& s, SensorReading kind, int channel) {
    switch (kind) {
        case SensorReading::Temperature:
            return QString::fromStdString(whole_text(s.temperatures[channel]));
        case SensorReading::Voltage:
            return QString::fromStdString(general_text(s.voltages[channel], 15));
        case SensorReading::Fan:
            return QString::fromStdString(whole_text(s.fans[channel]));
    }
    return "NA";
}

int control_count(const Sensor* s) {
    return s && s->controls ? s->control_count : 0;
}

}  // namespace

// Every showing of the tab starts at "CPU" and at control 0 of sensor 0, and at the first fan
// entry of the AutoFAN group.
void SensorTab::Settings(QObject* sender) {
    const int32_t sensor_count = window_.sensor_count;
    if (sender == window_.TabSheet2) {
        CSpinEditSensor->setMaximum(last_sensor_index(sensor_count));
        CSpinEditCTLSensor->setMaximum(last_sensor_index(sensor_count));
        CSpinEditSensor->setEnabled(sensor_count > 0);
        CSpinEditCTLSensor->setEnabled(sensor_count > 0);
        // The handlers run once each, called here, not again through the spin edits' change
        // events.
        ComboBoxSensorTyp->setCurrentIndex(0);
        SetSensor(ComboBoxSensorTyp);
        {
            const QSignalBlocker sensor_blocked(CSpinEditCTLSensor);
            const QSignalBlocker control_blocked(CSpinEditCTL);
            CSpinEditCTLSensor->setValue(0);
            CSpinEditCTL->setValue(0);
        }
        SetSensorCTL(CSpinEditCTLSensor);
    }
    window_.autofan_group.Settings(sender);
}

void SensorTab::SetSensor(QObject* sender) {
    const int item = ComboBoxSensorTyp->currentIndex();
    if (item < 0 || item >= kSensorMapPairs)
        return;
    if (sender == window_.TabSheet2 || sender == ComboBoxSensorTyp) {
        CSpinEditSensor->setMaximum(last_sensor_index(window_.sensor_count));
        // The item's sensor: a type not found, or none, gives the sensor at index 0.
        const QSignalBlocker blocked(CSpinEditSensor);
        CSpinEditSensor->setValue(
            sensor_index_of_type(&sensor_table(), window_.sensor_map.type(item)));
    }
    if (sender == CSpinEditSensorInput)
        window_.sensor_map.bytes[2 * item + 1] =
            static_cast<uint8_t>(CSpinEditSensorInput->value());

    // Choosing a sensor for an item maps the item at once.
    const Sensor* s = sensor_at(CSpinEditSensor->value(), window_.sensor_count);
    if (s)
        window_.sensor_map.bytes[2 * item] = s->type;
    ShowSensorValue();

    if (s) {
        SensorInfoName->setText(s->name ? s->name : "");
        SensorInfoTemps->setText(QString::number(s->temperature_count));
        SensorInfoVts->setText(QString::number(s->voltage_count));
        SensorInfoFANs->setText(QString::number(s->fan_count));
        SensorInfoCTLs->setText(QString::number(s->control_count));
    } else {
        for (QLabel* info :
             {SensorInfoName, SensorInfoTemps, SensorInfoVts, SensorInfoFANs, SensorInfoCTLs})
            info->setText("");
    }
}

void SensorTab::ShowSensorValue() {
    const int item = ComboBoxSensorTyp->currentIndex();
    if (item < 0 || item >= kSensorMapPairs)
        return;
    // The input's own change event stays quiet while it is set here, and no update tick runs
    // on a half-changed map.
    const QSignalBlocker blocked(CSpinEditSensorInput);
    window_.StopSensorTimer();

    const Sensor* s = sensor_at(CSpinEditSensor->value(), window_.sensor_count);
    const SensorReading kind = sensormap_pair_reading(item);
    const int count = sensor_input_count(s, kind);
    const int channel = window_.sensor_map.channel(item);
    if (count > 0) {
        CSpinEditSensorInput->setRange(0, count - 1);
        CSpinEditSensorInput->setValue(channel);
        // A stored channel past the sensor's inputs shows no value until another is chosen.
        SensorValue->setText(channel < count ? reading_text(*s, kind, channel) : "NA");
        // With a single input there is nothing to choose.
        CSpinEditSensorInput->setEnabled(count > 1);
    } else {
        // No input of the item's kind: the item is shown nowhere. The range stays 0-0, so
        // no negative channel can ever reach the map.
        CSpinEditSensorInput->setRange(0, 0);
        CSpinEditSensorInput->setValue(0);
        CSpinEditSensorInput->setEnabled(false);
        SensorValue->setText("NA");
        if (s)
            window_.sensor_map.bytes[2 * item] = SENSOR_NONE;
    }
    window_.StartSensorTimer();
}

void SensorTab::SetSensorCTL(QObject* sender) {
    Sensor* s = sensor_at(CSpinEditCTLSensor->value(), window_.sensor_count);
    const int controls = control_count(s);
    if (sender == CSpinEditCTLSensor) {
        // The control number follows the sensor; a clamped number is shown below, not raised
        // as a change of its own.
        const QSignalBlocker blocked(CSpinEditCTL);
        CSpinEditCTL->setRange(0, std::max(controls - 1, 0));
        CSpinEditCTL->setEnabled(controls > 1);
        CSpinEditCTLvalue->setEnabled(controls > 0);
    }
    const int number = CSpinEditCTL->value();
    const bool have_control = CSpinEditCTLvalue->isEnabled() && number < controls;
    if (sender == ButtonSetCTLvalue) {
        // Without a control there is nothing to store, and nothing is written.
        if (!have_control || !window_.sensors_read_once)
            return;
        s->controls[number].value = static_cast<uint8_t>(CSpinEditCTLvalue->value());
        sensors_write_controls(&sensor_table());
        // The driver keeps the value within what the chip takes: show what it holds now.
        CSpinEditCTLvalue->setValue(s->controls[number].value);
        return;
    }
    if (have_control) {
        const SensorControl& control = s->controls[number];
        CSpinEditCTLvalue->setValue(control.value);
        LabelCTLdescr->setText(control.description ? control.description : "");
    } else {
        LabelCTLdescr->setText("");
    }
}

void SensorTab::SensorUpdateChange(QObject*) {
    const int seconds = CSpinEditSensorUpdate->value();
    if (seconds == 0) {
        window_.StopSensorTimer();
        return;
    }
    // From 1 or 2 the next step up is 3: a period of 2 seconds is not offered.
    CSpinEditSensorUpdate->setSingleStep(seconds <= 2 ? 2 : 1);
    window_.StartSensorTimer();
}
