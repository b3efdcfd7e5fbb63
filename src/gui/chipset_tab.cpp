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
#include "diag/debuglog.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"

namespace {
constexpr int kApertureUnitMb = 32;

const char* enabled(uint8_t on) {
    return on ? "enabled" : "disabled";
}
}  // namespace

void TMain::Chipset(QObject* sender) {
    if (sender == nullptr) {
        // At every start and board change: the stored options, when "Set on startup" is
        // ticked. Only what differs from the chipset's values is written.
        const int32_t load = read_chipset_load();
        CheckBoxChipset->setChecked(load != 0);
        if (load != 0) {
            read_stored_chipset_options(chipset);
            write_chipset_settings(&chipset);
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
        chipset.stpgnt = CheckBoxSTPGNT->isChecked() ? 1 : 0;
        debug_print("VELMORA: STPGNT %s\n", enabled(chipset.stpgnt));
        chipset.agp_sba = CheckBoxAGP->isChecked() ? 1 : 0;
        debug_print("VELMORA: AGP-SBA %s\n", enabled(chipset.agp_sba));
        chipset.pci_bus_latency = static_cast<uint8_t>(CSpinEditPCILatency->value());
        debug_print("VELMORA: PCI bridge latency %d\n", chipset.pci_bus_latency);
        chipset.agp_ctr_latency = static_cast<uint8_t>(CSpinEditAGPLatency->value());
        debug_print("VELMORA: AGP controller latency %d\n", chipset.agp_ctr_latency);
        chipset.agp_bus_latency = static_cast<uint8_t>(CSpinEditAGPBusLatency->value());
        debug_print("VELMORA: AGP bus latency %d\n", chipset.agp_bus_latency);
        chipset.agp_aperture = static_cast<uint8_t>(CSpinEditAGPApSize->value() / kApertureUnitMb);
        debug_print("VELMORA: AGP aperture size %d\n", chipset.agp_aperture);
        const ChipsetSettings wanted = chipset;
        write_chipset_settings(&chipset);
        // The record now holds what the chipset took: a value it refused (a 512 MB aperture
        // cannot be set) is no success.
        const std::string not_taken = chipset_options_not_taken(wanted, chipset);
        if (!not_taken.empty())
            debug_print("VELMORA: Chipset settings: %s\n", not_taken);
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
    // Only a board of the list: an index past it would read past the board table.
    if (picked < 0) {
        debug_print("VELMORA: No board selected, nothing changed\n");
        return;
    }
    if (picked >= board_count || picked >= static_cast<int32_t>(board_list.size())) {
        debug_print("VELMORA: Board nr. %d not in the board list, nothing changed\n", picked);
        return;
    }
    if (steps_->busy(HardwareSteps::Kind::Action))
        return;  // its button is off while an action steps
    debug_print("VELMORA: Re-setting board\n");
    StopSensorTimer();
    // The map of the board left behind would otherwise stay for a board that has none of its
    // own, and be saved under the new board's number.
    if (picked != board_number)
        sensor_map = SensorMap{};
    board_number = picked;
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
