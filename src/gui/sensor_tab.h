// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Sensor settings" (sensor_tab.cpp, sensor_tab_layout.cpp): which input of which sensor
// feeds each display item of the main tab, the chosen input's value, the sensors' facts, any
// sensor control read and set by hand, and the update period.
#pragma once

#include "gui/sensor_tab_controls.h"

class QObject;
class QWidget;
class TMain;

class SensorTab : public SensorTabControls {
  public:
    explicit SensorTab(TMain& window) : window_(window) {}
    QWidget* Create();  // with the AutoFAN group in it

    // Event handlers (the sender convention is TMain's). Settings runs when the tab is shown.
    void Settings(QObject* sender = nullptr);
    void SetSensor(QObject* sender = nullptr);
    void SetSensorCTL(QObject* sender = nullptr);
    void SensorUpdateChange(QObject* sender = nullptr);

    // The chosen input's range and current value; an item whose sensor has no input of its
    // kind is unmapped.
    void ShowSensorValue();

  private:
    TMain& window_;
};
