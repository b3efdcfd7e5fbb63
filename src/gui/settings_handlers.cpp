// SPDX-License-Identifier: GPL-2.0-or-later
// The handlers that take the AutoFSB limits, the sensor period and the load interval from their
// controls into memory (and so into config.ini at close).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>

#include "automation/cpuload.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"

namespace {
constexpr int kFsbOfPositionZero = 300;
constexpr int kLoadGap = 5;                         // max and min load stay this far apart
constexpr int32_t kStepDelays[] = {0, 1000, 2500};  // "Fast", "Medium", "Slow", in ms
}  // namespace

void SettingsTab::LoadUpdateChange(QObject*) {
    window_.settings.load_update = CSpinEditLoadUpdate->value();
    cpuload_start(cpu_load, window_.settings.load_update);
}

void SensorTab::SensorUpdateChange(QObject*) {
    const int seconds = CSpinEditSensorUpdate->value();
    if (seconds == 0) {
        window_.StopSensorTimer();
        return;
    }
    // From 1 or 2 the next step up is 3: a period of 2 seconds is not offered.
    CSpinEditSensorUpdate->setSingleStep(seconds <= 2 ? 2 : 1);
    window_.StartSensorTimer();
}

void AutoFsbGroup::SetFSBRange(QObject* sender) {
    const int32_t fsb = kFsbOfPositionZero - window_.main_tab.TrackBarFSB->value();
    if (sender == ButtonMaxFSB) {
        window_.settings.max_fsb = fsb;
        EditMaxFSB->setText(format_whole(fsb) + " MHz");
        window_.StatusBar1->showMessage("AutoFSB: max. FSB changed");
    } else if (sender == ButtonMinFSB) {
        window_.settings.min_fsb = fsb;
        EditMinFSB->setText(format_whole(fsb) + " MHz");
        window_.StatusBar1->showMessage("AutoFSB: min. FSB changed");
    }
}

void AutoFsbGroup::SetDelayChange(QObject* sender) {
    if (sender == CSpinEditDelayMax) {
        window_.settings.max_delay = CSpinEditDelayMax->value();
        window_.TimerAutoFSBmax->setInterval(window_.settings.max_delay * 1000);
    } else if (sender == CSpinEditDelayMin) {
        window_.settings.min_delay = CSpinEditDelayMin->value();
        window_.TimerAutoFSBmin->setInterval(window_.settings.min_delay * 1000);
    } else if (sender == ComboBoxDelayChange) {
        const int index = ComboBoxDelayChange->currentIndex();
        if (index >= 0 && index < 3)
            window_.settings.delay_change = kStepDelays[index];
        window_.StatusBar1->showMessage("AutoFSB: FSB in-/decrease delay changed");
    }
}

void AutoFsbGroup::SetAutoFSBload(QObject* sender) {
    if (sender == CSpinEditMaxLoad) {
        window_.settings.max_load = CSpinEditMaxLoad->value();
        CSpinEditMinLoad->setMaximum(window_.settings.max_load - kLoadGap);
        window_.StatusBar1->showMessage("AutoFSB: max. load changed");
    } else if (sender == CSpinEditMinLoad) {
        window_.settings.min_load = CSpinEditMinLoad->value();
        CSpinEditMaxLoad->setMinimum(window_.settings.min_load + kLoadGap);
        window_.StatusBar1->showMessage("AutoFSB: min load changed");
    }
}

void AutoFsbGroup::MaxTempChange(QObject*) {
    window_.settings.max_temp = CSpinEditMaxTemp->value();
}
