// SPDX-License-Identifier: GPL-2.0-or-later
// The tray icon and its menu (tray.cpp): the CPU temperature on the icon, the hint, and the
// window hidden behind the icon and brought back.
#pragma once

#include "gui/tray_controls.h"

class TMain;

class Tray : public TrayControls {
  public:
    explicit Tray(TMain& window) : window_(window) {}
    void Create();

    // Makes TrayIcon1 visible and tells whether the desktop has a notification area to show
    // it in (none under plain Xvfb or offscreen).
    bool ShowTrayIcon();
    // Hides the window, and with it its task-bar button, behind the tray icon; without a
    // visible tray icon the window is only minimised, so that it can still be reached.
    void MinimizeToTray();
    // Brings the window back from the tray or the task bar: shown, not minimised, in front.
    void RestoreFromTray();
    // The temperature on the icon and the hint's readings (and an FSB walk in progress).
    void ShowTrayHint();
    void ShowTrayTemperature();

  private:
    TMain& window_;
};
