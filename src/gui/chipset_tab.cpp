// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Chipset": the chipset options shown, set, and applied at start.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>

#include <string>

#include "app/chipset_options.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"

namespace {
constexpr int kApertureUnitMb = 32;
}  // namespace

void ChipsetTab::Chipset(QObject* sender) {
    if (sender == nullptr) {
        // At every start and board change: the stored options, when "Set on startup" is
        // ticked. Only what differs from the chipset's values is written.
        const bool load = window_.LoadStoredChipsetOptions();
        CheckBoxChipset->setChecked(load);
        if (load) {
            // The main tab's box shows what the chipset now holds, so that the next Apply
            // keeps a stored auto-precharge instead of writing the one read before.
            window_.main_tab.CheckBoxAutoPC->setChecked(window_.chipset.auto_precharge != 0);
        }
    }
    if (sender == window_.TabSheet4) {
        // The tab shows the chipset as it is now, whatever changed it since.
        read_chipset_settings(&window_.chipset);
        CheckBoxSTPGNT->setChecked(window_.chipset.stpgnt != 0);
        CheckBoxAGP->setChecked(window_.chipset.agp_sba != 0);
        CSpinEditPCILatency->setValue(window_.chipset.pci_bus_latency);
        CSpinEditAGPBusLatency->setValue(window_.chipset.agp_bus_latency);
        CSpinEditAGPLatency->setValue(window_.chipset.agp_ctr_latency);
        CSpinEditAGPApSize->setValue(window_.chipset.agp_aperture * kApertureUnitMb);
    }
    if (sender == ButtonChipsetSet) {
        ChipsetSettings chosen = window_.chipset;
        chosen.stpgnt = CheckBoxSTPGNT->isChecked() ? 1 : 0;
        chosen.agp_sba = CheckBoxAGP->isChecked() ? 1 : 0;
        chosen.pci_bus_latency = static_cast<uint8_t>(CSpinEditPCILatency->value());
        chosen.agp_ctr_latency = static_cast<uint8_t>(CSpinEditAGPLatency->value());
        chosen.agp_bus_latency = static_cast<uint8_t>(CSpinEditAGPBusLatency->value());
        chosen.agp_aperture = static_cast<uint8_t>(CSpinEditAGPApSize->value() / kApertureUnitMb);
        const std::string not_taken = window_.SetChipsetOptions(chosen);
        window_.StatusBar1->showMessage(not_taken.empty() ? QString("Done.")
                                                          : QString::fromStdString(not_taken));
    }
}
