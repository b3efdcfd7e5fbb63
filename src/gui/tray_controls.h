// SPDX-License-Identifier: GPL-2.0-or-later
// The tray icon and its pop-up menu, named as in the form. tray.cpp builds them; Tray (tray.h)
// owns them.
#pragma once

#include <QIcon>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;

struct TrayControls {
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* TrayForceMax = nullptr;
    QAction* TrayForceMin = nullptr;
    QAction* TrayAutoFSB = nullptr;
    QAction* TrayAutoFan = nullptr;
    QAction* Exit1 = nullptr;
    QString tray_number_;  // the number the tray icon shows; empty: none
    QIcon tray_number_drawn_;
};

// The tray's chip icon with a temperature across it (tray.cpp).
QIcon tray_icon_with_temperature(int celsius);
