// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Settings" at work: the load interval, and the board picked by hand.
#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <string>

#include "automation/cpuload.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"

void SettingsTab::LoadUpdateChange(QObject*) {
    window_.settings.load_update = CSpinEditLoadUpdate->value();
    cpuload_start(cpu_load, window_.settings.load_update);
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
