// SPDX-License-Identifier: GPL-2.0-or-later
// The sensors in the window: detection at start, Timer1's ticks run as stepped jobs on the
// session's cycle (app/sensor_cycle.cpp), a standby and a lost port grant, and the readings in
// the main tab's fields and the tray.
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/port_setup.h"
#include "app/prompts.h"
#include "automation/cpuload.h"
#include "diag/debuglog.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"
#include "hw/port_io.h"
#include "platform/platform.h"
#include "sensors/sensor_display.h"
#include "sensors/standby.h"

void TMain::DetectSensors() {
    if (FindSensors()) {
        UpdateSensor(nullptr);
        StartSensorTimer();
    }
}

// A tick never runs inside another (a message box of the standby recovery runs an event
// loop), nor after the close began. A lost port grant anywhere in the tick, also inside the
// standby's re-initialisation, is recovered here instead of reaching the event loop.
// Once the event loop runs, the tick is a job of its own: its SMBus reads (three on an LM90
// board) go one per event, and an Apply or AutoFSB run in progress steps between them.
void TMain::UpdateSensor(QObject* sender) {
    if (in_sensor_update_ || closing_ || close_waiting_)
        return;
    in_sensor_update_ = true;
    steps_->start(
        HardwareSteps::Kind::Sensors,
        [this, sender] {
            try {
                SensorTick(sender);
            } catch (const PortAccessLost&) {
                RegainPortAccess();
            }
        },
        [this] { in_sensor_update_ = false; });
}

void TMain::SensorTick(QObject* sender) {
    if (StandbyDetected()) {
        // An action stepping when the machine slept ends first: its values would otherwise
        // be read again under it.
        if (steps_->busy(HardwareSteps::Kind::Action))
            steps_->end_action([this] {
                // A job of its own: read step by step like any other.
                ShowActionBusy(true);
                steps_->start(
                    HardwareSteps::Kind::Action, [this] { InitValues(true); },
                    [this] { ShowActionBusy(false); });
            });
        else
            InitValues(true);
    }
    SensorCycle(sender == Timer1);
}

// The load, coloured against the AutoFSB limits: red above the maximum, green below the
// minimum, yellow between them; on a limit it keeps its colour.
void MainTab::ShowLoad() {
    const int32_t load = cpu_load.load();
    DisplayLoad->setText(format_whole(load) + "%");
    QColor color;
    if (load > window_.settings.max_load)
        color = QColor(255, 0, 0);
    else if (load < window_.settings.min_load)
        color = QColor(0, 128, 0);
    else if (load > window_.settings.min_load && load < window_.settings.max_load)
        color = QColor(255, 255, 0);
    else
        return;
    QPalette palette = DisplayLoad->palette();
    palette.setColor(QPalette::WindowText, color);
    DisplayLoad->setPalette(palette);
}

// While an FSB walk steps, a last line says where it is.
void Tray::ShowTrayHint() {
    ShowTrayTemperature();
    const QString progress = window_.HardwareProgressText();
    const QString cpu = window_.cpu_temperature_known
                            ? format_whole(window_.cpu_temperature) + " \u00B0C"
                            : QString("NA");
    TrayIcon1->setToolTip("CPU: " + cpu + "\n" + "SYS:  " + window_.main_tab.SensorSysTemp->text() +
                          "\n" + "FSB: " + format_whole(window_.values_applied.fsb) + " MHz\n" +
                          "VCore: " + window_.main_tab.SensorVcore->text() +
                          (progress.isEmpty() ? QString() : "\n" + progress));
}

void TMain::StartSensorTimer() {
    const int seconds = sensor_tab.CSpinEditSensorUpdate->value();
    if (seconds <= 0 || sensor_count == 0 || closing_) {
        Timer1->stop();
        return;
    }
    Timer1->setInterval(seconds * 1000);
    standby_reset();
    Timer1->start();
}

void TMain::StopSensorTimer() {
    Timer1->stop();
}
