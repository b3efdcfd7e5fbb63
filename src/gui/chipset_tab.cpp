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

void TMain::Chipset(QObject* sender) {
    if (sender == nullptr) {
        // At every start and board change: the stored options, when "Set on startup" is
        // ticked. Only what differs from the chipset's values is written.
        const bool load = LoadStoredChipsetOptions();
        CheckBoxChipset->setChecked(load);
        if (load) {
            // The main tab's box shows what the chipset now holds, so that the next Apply
            // keeps a stored auto-precharge instead of writing the one read before.
            CheckBoxAutoPC->setChecked(chipset.auto_precharge != 0);
        }
    }
    if (sender == TabSheet4) {
        // The tab shows the chipset as it is now, whatever changed it since.
        read_chipset_settings(&chipset);
        CheckBoxSTPGNT->setChecked(chipset.stpgnt != 0);
        CheckBoxAGP->setChecked(chipset.agp_sba != 0);
        CSpinEditPCILatency->setValue(chipset.pci_bus_latency);
        CSpinEditAGPBusLatency->setValue(chipset.agp_bus_latency);
        CSpinEditAGPLatency->setValue(chipset.agp_ctr_latency);
        CSpinEditAGPApSize->setValue(chipset.agp_aperture * kApertureUnitMb);
    }
    if (sender == ButtonChipsetSet) {
        ChipsetSettings chosen = chipset;
        chosen.stpgnt = CheckBoxSTPGNT->isChecked() ? 1 : 0;
        chosen.agp_sba = CheckBoxAGP->isChecked() ? 1 : 0;
        chosen.pci_bus_latency = static_cast<uint8_t>(CSpinEditPCILatency->value());
        chosen.agp_ctr_latency = static_cast<uint8_t>(CSpinEditAGPLatency->value());
        chosen.agp_bus_latency = static_cast<uint8_t>(CSpinEditAGPBusLatency->value());
        chosen.agp_aperture = static_cast<uint8_t>(CSpinEditAGPApSize->value() / kApertureUnitMb);
        const std::string not_taken = SetChipsetOptions(chosen);
        StatusBar1->showMessage(not_taken.empty() ? QString("Done.")
                                                  : QString::fromStdString(not_taken));
    }
}

void TMain::CreateBoardList(QObject*) {
    ComboBoxBoard->clear();
    for (int32_t i = 0; i < board_count && i < static_cast<int32_t>(board_list.size()); ++i)
        ComboBoxBoard->addItem(QString::fromStdString(board_list[i].name));
    // Without a board (255) the first one is offered.
    const bool listed = board_number >= 0 && board_number < ComboBoxBoard->count();
    ComboBoxBoard->setCurrentIndex(listed ? board_number : 0);
}

void TMain::SetBoard(QObject* sender) {
    if (EndAutoFsbRunFirst(&TMain::SetBoard, sender))
        return;
    const int32_t picked = ComboBoxBoard->currentIndex();
    if (!BoardPickable(picked) || steps_->busy(HardwareSteps::Kind::Action))
        return;  // its button is off while an action steps
    StopSensorTimer();
    ChangeBoard(picked);
    // Reading the new board and finding its sensors takes many SMBus transactions: an action,
    // one transaction per step.
    ShowActionBusy(true);
    steps_->start(
        HardwareSteps::Kind::Action,
        [this] {
            if (!InitValues(true))
                return;
            StartServices();
            {
                const QSignalBlocker quiet(PageControl1);
                for (QWidget* sheet : {TabSheet1, TabSheet2, TabSheet4})
                    PageControl1->setTabVisible(PageControl1->indexOf(sheet), true);
            }
            PageControl1->setCurrentWidget(TabSheet1);
        },
        [this] { ShowActionBusy(false); });
}
