// SPDX-License-Identifier: GPL-2.0-or-later
// The controls of the "Chipset" tab, named as in the form. chipset_tab_layout.cpp builds them;
// ChipsetTab (chipset_tab.h) owns them.
#pragma once

class QCheckBox;
class QGroupBox;
class QPushButton;
class QSpinBox;

struct ChipsetTabControls {
    // Tab "Chipset".
    QGroupBox* GroupBoxPCI = nullptr;
    QCheckBox* CheckBoxSTPGNT = nullptr;
    QCheckBox* CheckBoxAGP = nullptr;
    QSpinBox* CSpinEditPCILatency = nullptr;
    QSpinBox* CSpinEditAGPLatency = nullptr;
    QSpinBox* CSpinEditAGPBusLatency = nullptr;
    QSpinBox* CSpinEditAGPApSize = nullptr;
    QPushButton* ButtonChipsetSet = nullptr;
    QCheckBox* CheckBoxChipset = nullptr;
};
