// SPDX-License-Identifier: GPL-2.0-or-later
// AutoFAN in the window: the switch on the sensor settings tab and in the tray menu, and the
// step each sensor tick takes while it is on.
#include <QAction>
#include <QCheckBox>
#include <QSignalBlocker>

#include "automation/autofan.h"
#include "diag/debuglog.h"
#include "gui/main_window.h"
#include "sensors/sensor.h"

// The check box and the tray item show the same state. From the tray the box is set without
// its own handler, so one click runs this once.
void TMain::EnableAutoFan(QObject* sender) {
    if (sender == CheckBoxFANCtl)
        TrayAutoFan->setChecked(CheckBoxFANCtl->isChecked());
    if (sender == TrayAutoFan) {
        TrayAutoFan->setChecked(!TrayAutoFan->isChecked());
        const QSignalBlocker detached(CheckBoxFANCtl);
        CheckBoxFANCtl->setChecked(TrayAutoFan->isChecked());
    }
    // Switched off, the fans it drove run at full speed: nothing follows the temperature any
    // more. Only once the controls hold what the chips were read to hold.
    if ((sender == CheckBoxFANCtl || sender == TrayAutoFan) && !CheckBoxFANCtl->isChecked() &&
        board_number != NO_BOARD && sensors_read_once &&
        autofan_release(autofan_list, &sensor_table()) > 0) {
        debug_print("VELMORA: AutoFAN disabled, its fans at full speed\n");
        sensors_write_controls(&sensor_table());
    }
}
