// SPDX-License-Identifier: GPL-2.0-or-later
// Tabs "Settings" and "About" (settings_tab.cpp, settings_tab_layout.cpp): the load interval,
// the start and close switches, the board picked by hand, and what velmora runs on.
#pragma once

#include "gui/settings_tab_controls.h"

class QObject;
class QWidget;
class TMain;

class SettingsTab : public SettingsTabControls {
  public:
    explicit SettingsTab(TMain& window) : window_(window) {}
    QWidget* Create();
    QWidget* CreateAbout();

    // Event handlers (the sender convention is TMain's). CreateBoardList runs when the tab is
    // shown.
    void LoadUpdateChange(QObject* sender = nullptr);
    void CreateBoardList(QObject* sender = nullptr);
    void SetBoard(QObject* sender = nullptr);

  private:
    TMain& window_;
};
