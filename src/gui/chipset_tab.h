// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Chipset" (chipset_tab.cpp, chipset_tab_layout.cpp): the chipset options shown, set, and
// applied at start when stored.
#pragma once

#include "gui/chipset_tab_controls.h"

class QObject;
class QWidget;
class TMain;

class ChipsetTab : public ChipsetTabControls {
  public:
    explicit ChipsetTab(TMain& window) : window_(window) {}
    QWidget* Create();

    // Event handler (the sender convention is TMain's): nothing at start and at a board change,
    // the tab when shown, the "Set" button.
    void Chipset(QObject* sender = nullptr);

  private:
    TMain& window_;
};
