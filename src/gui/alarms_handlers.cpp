// SPDX-License-Identifier: GPL-2.0-or-later
// The temperature alarms in the window: an alarm raised is told in the tray (or the status bar
// without one), and its field stays red until the session clears it.
#include <QLineEdit>
#include <QStatusBar>
#include <QSystemTrayIcon>

#include "gui/main_window.h"

namespace {
QLineEdit* alarm_field(TMain& window, int item) {
    return item == 0 ? window.main_tab.SensorTemp : window.main_tab.SensorSysTemp;
}
}  // namespace

void TMain::show_alarm(int item, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (tray.TrayIcon1->isVisible())
        tray.TrayIcon1->showMessage("velmora", shown, QSystemTrayIcon::Warning);
    else
        StatusBar1->showMessage(shown);
    QLineEdit* field = alarm_field(*this, item);
    QPalette red = field->palette();
    red.setColor(QPalette::Text, QColor(255, 0, 0));
    field->setPalette(red);
}

void TMain::clear_alarm(int item) {
    QLineEdit* field = alarm_field(*this, item);
    field->setPalette(field->parentWidget()->palette());
}
