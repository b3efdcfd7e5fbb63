// SPDX-License-Identifier: GPL-2.0-or-later
// The temperature alarms of each sensor tick: a CPU or SYS temperature that passes its limit
// is told once, in the tray (or the status bar without one) and in the log, and its field
// stays red until the reading has fallen 3 °C below the limit.
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>

#include "diag/debuglog.h"
#include "gui/main_window.h"
#include "sensors/sensor_display.h"

void TMain::CheckAlarms() {
    int sys = 0;
    const bool sys_known = sensor_pair_temperature(sensor_table(), sensor_map, 1, &sys);
    const struct {
        const char* item;
        QSpinBox* limit;
        QLineEdit* field;
        bool known;
        int reading;
    } items[2] = {{"CPU", CSpinEditCpuLimit, SensorTemp, cpu_temperature_known, cpu_temperature},
                  {"SYS", CSpinEditSysLimit, SensorSysTemp, sys_known, sys}};
    for (int i = 0; i < 2; ++i) {
        const auto& item = items[i];
        Alarm& alarm = alarms_[i];
        alarm.limit = item.limit->value();
        switch (alarm_step(alarm, item.known, item.reading)) {
            case AlarmChange::None:
                break;
            case AlarmChange::Raised: {
                debug_print("ALARM: %s temperature %d \u00B0C passed its limit of %d \u00B0C\n",
                            item.item, item.reading, alarm.limit);
                const QString text = QString(
                                         "%1 temperature %2 \u00B0C is above its limit of "
                                         "%3 \u00B0C")
                                         .arg(item.item)
                                         .arg(item.reading)
                                         .arg(alarm.limit);
                if (TrayIcon1->isVisible())
                    TrayIcon1->showMessage("velmora", text, QSystemTrayIcon::Warning);
                else
                    StatusBar1->showMessage(text);
                QPalette red = item.field->palette();
                red.setColor(QPalette::Text, QColor(255, 0, 0));
                item.field->setPalette(red);
                break;
            }
            case AlarmChange::Rearmed:
                item.field->setPalette(item.field->parentWidget()->palette());
                break;
        }
    }
}
