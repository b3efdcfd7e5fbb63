// SPDX-License-Identifier: GPL-2.0-or-later
// The AutoFAN group of the sensor settings tab (autofan_group.cpp): one fan entry of
// autofan.ini shown and set, and the switch, also in the tray menu.
#pragma once

#include "gui/sensor_tab_controls.h"

class QGroupBox;
class QObject;
class QWidget;
class TMain;

class AutoFanGroup : public AutoFanGroupControls {
  public:
    explicit AutoFanGroup(TMain& window) : window_(window) {}
    QGroupBox* Create(QWidget* sheet);  // sensor_tab_layout.cpp

    // Event handlers (the sender convention is TMain's). Settings also runs when the tab is
    // shown: the first entry then.
    void Settings(QObject* sender = nullptr);
    void EnableAutoFan(QObject* sender = nullptr);

    // Whether the sensors found have fan controls: without them the group offers nothing.
    void ShowFansFound(bool found);

  private:
    TMain& window_;
};
