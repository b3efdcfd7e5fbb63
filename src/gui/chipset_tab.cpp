// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Chipset" and the board list of tab "Settings": the chipset options shown, set and
// applied at start, and the board picked by hand.
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

void SettingsTab::CreateBoardList(QObject*) {
    ComboBoxBoard->clear();
    for (int32_t i = 0;
         i < window_.board_count && i < static_cast<int32_t>(window_.board_list.size()); ++i)
        ComboBoxBoard->addItem(QString::fromStdString(window_.board_list[i].name));
    // Without a board (255) the first one is offered.
    const bool listed = window_.board_number >= 0 && window_.board_number < ComboBoxBoard->count();
    ComboBoxBoard->setCurrentIndex(listed ? window_.board_number : 0);
}

void SettingsTab::SetBoard(QObject* sender) {
    if (window_.EndAutoFsbRunFirst([this, sender] { SetBoard(sender); }))
        return;
    const int32_t picked = ComboBoxBoard->currentIndex();
    if (!window_.BoardPickable(picked) || window_.steps_->busy(HardwareSteps::Kind::Action))
        return;  // its button is off while an action steps
    window_.StopSensorTimer();
    window_.ChangeBoard(picked);
    // Reading the new board and finding its sensors takes many SMBus transactions: an action,
    // one transaction per step.
    window_.ShowActionBusy(true);
    window_.steps_->start(
        HardwareSteps::Kind::Action,
        [this] {
            if (!window_.InitValues(true))
                return;
            window_.StartServices();
            {
                const QSignalBlocker quiet(window_.PageControl1);
                for (QWidget* sheet : {window_.TabSheet1, window_.TabSheet2, window_.TabSheet4})
                    window_.PageControl1->setTabVisible(window_.PageControl1->indexOf(sheet), true);
            }
            window_.PageControl1->setCurrentWidget(window_.TabSheet1);
        },
        [this] { window_.ShowActionBusy(false); });
}
