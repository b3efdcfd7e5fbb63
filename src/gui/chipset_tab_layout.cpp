// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Chipset": the PCI and AGP options of the north bridge and its bridges.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/form.h"
#include "gui/main_window.h"

namespace {
constexpr int kSpinWidth = 56;
constexpr int kButtonWidth = 75;
}  // namespace

QWidget* ChipsetTab::Create() {
    auto* sheet = new QWidget;
    sheet->setObjectName("TabSheet4");

    GroupBoxPCI = form::group(sheet, "GroupBoxPCI", "PCI && AGP settings");
    CheckBoxSTPGNT = form::check_box(GroupBoxPCI, "CheckBoxSTPGNT", "Enable &STPGNT",
                                     "Enable StopGrant mode bit in NB");
    CheckBoxAGP = form::check_box(GroupBoxPCI, "CheckBoxAGP", "Enable &AGP SBA",
                                  "Enables AGP sideband addressing");
    // Latencies count PCI clocks; the secondary bus of the PCI bridge takes multiples of 8.
    CSpinEditPCILatency = form::spin_edit(GroupBoxPCI, "CSpinEditPCILatency", 0, 248, 8, 32,
                                          "PCI bus latency (PCI bridge sec. interface)");
    CSpinEditAGPLatency = form::spin_edit(GroupBoxPCI, "CSpinEditAGPLatency", 0, 255, 1, 32,
                                          "AGP bridge controller latency (PCI interface)");
    CSpinEditAGPBusLatency = form::spin_edit(GroupBoxPCI, "CSpinEditAGPBusLatency", 0, 255, 1, 32,
                                             "AGP bus latency (AGP<->GPU)");
    CSpinEditAGPApSize = form::spin_edit(GroupBoxPCI, "CSpinEditAGPApSize", 32, 512, 32, 128,
                                         "AGP aperture size (MB)");
    ButtonChipsetSet = form::button(GroupBoxPCI, "ButtonChipsetSet", "Set");
    ButtonChipsetSet->setFixedWidth(kButtonWidth);
    CheckBoxChipset = form::check_box(GroupBoxPCI, "CheckBoxChipset", "Set on startup");

    auto* grid = new QGridLayout(GroupBoxPCI);
    grid->setContentsMargins(8, 6, 8, 8);
    grid->setVerticalSpacing(6);
    grid->addWidget(CheckBoxSTPGNT, 0, 0, 1, 2);
    grid->addWidget(CheckBoxAGP, 1, 0, 1, 2);
    int row = 2;
    for (auto [spin, caption] : {std::pair{CSpinEditPCILatency, "PCI bus latency"},
                                 std::pair{CSpinEditAGPLatency, "AGP controller latency"},
                                 std::pair{CSpinEditAGPBusLatency, "AGP bus latency"},
                                 std::pair{CSpinEditAGPApSize, "AGP aperture size"}}) {
        spin->setFixedWidth(kSpinWidth);
        grid->addWidget(form::caption_for(spin, caption), row, 0);
        grid->addWidget(spin, row++, 1);
    }
    grid->addWidget(ButtonChipsetSet, row, 0, Qt::AlignLeft);
    grid->addWidget(CheckBoxChipset, row, 1, 1, 2);
    grid->setColumnStretch(2, 1);

    auto* page = new QVBoxLayout(sheet);
    page->setContentsMargins(6, 6, 6, 6);
    page->addWidget(GroupBoxPCI);
    page->addStretch(1);
    return sheet;
}
