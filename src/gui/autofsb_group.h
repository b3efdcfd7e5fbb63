// SPDX-License-Identifier: GPL-2.0-or-later
// The AutoFSB group of the main tab: the switch (check box and tray item), its limits and timing
// (autofsb_group.cpp), the two timers' ticks that drive the session's engine, and the presets it
// steps through (preset_handlers.cpp).
#pragma once

#include "gui/main_tab_controls.h"

class QGroupBox;
class QObject;
class QTimer;
class QWidget;
class TMain;

class AutoFsbGroup : public AutoFsbGroupControls {
  public:
    explicit AutoFsbGroup(TMain& window) : window_(window) {}
    QGroupBox* Create(QWidget* sheet);  // main_tab_layout.cpp

    // Event handlers (the sender convention is TMain's).
    void EnableAutoFSB(QObject* sender = nullptr);
    void AutoFSB(QObject* sender = nullptr);
    void SetFSBRange(QObject* sender = nullptr);
    void SetDelayChange(QObject* sender = nullptr);
    void SetAutoFSBload(QObject* sender = nullptr);
    void MaxTempChange(QObject* sender = nullptr);
    void AddPreset(QObject* sender = nullptr);
    void RemovePreset(QObject* sender = nullptr);
    void ApplyPreset(QObject* sender = nullptr);

    // The presets in the list, in FSB order.
    void FillPresetList();
    // The FSB of the selected list entry, or -1 when none is selected.
    int SelectedPresetFSB();

  private:
    void RunEnded(int result, QTimer* timer, bool restart_timer);

    TMain& window_;
};
