// SPDX-License-Identifier: GPL-2.0-or-later
// The tray icon, its pop-up menu, and hiding the window behind it.
#include <QAction>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "gui/main_window.h"

namespace {
// A small chip, drawn at run time so that no image file has to ship with the program; with a
// number, the CPU temperature in white across its body.
QIcon chip_icon(const QString& number = QString()) {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter paint(&pixmap);
        paint.setRenderHint(QPainter::Antialiasing);
        paint.scale(size / 32.0, size / 32.0);
        // Four pins on each side.
        paint.setPen(Qt::NoPen);
        paint.setBrush(QColor(190, 190, 190));
        for (int i = 0; i < 4; ++i) {
            const int at = 8 + i * 5;
            paint.drawRect(at, 2, 3, 5);
            paint.drawRect(at, 25, 3, 5);
            paint.drawRect(2, at, 5, 3);
            paint.drawRect(25, at, 5, 3);
        }
        paint.setBrush(QColor(40, 44, 52));
        paint.drawRoundedRect(QRectF(6, 6, 20, 20), 2, 2);
        // Pin 1 mark and a green core: the part of the board velmora tunes.
        paint.setBrush(QColor(200, 200, 200));
        paint.drawEllipse(QRectF(8.5, 8.5, 3, 3));
        paint.setBrush(QColor(60, 190, 90));
        paint.drawRect(QRectF(13, 13, 8, 8));
        if (!number.isEmpty()) {
            // The number covers the core: two digits fill the body, three a little smaller.
            paint.setBrush(QColor(40, 44, 52));
            paint.drawRoundedRect(QRectF(6, 6, 20, 20), 2, 2);
            QFont digits = paint.font();
            digits.setPixelSize(number.size() > 2 ? 11 : 15);
            digits.setBold(true);
            paint.setFont(digits);
            paint.setPen(QColor(255, 255, 255));
            paint.drawText(QRectF(3, 6, 26, 20), Qt::AlignCenter, number);
        }
        paint.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QAction* menu_item(QMenu* menu, const char* name, const char* caption, bool checkable = false) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    item->setCheckable(checkable);
    return item;
}
}  // namespace

void Tray::Create() {
    const QIcon icon = chip_icon();
    window_.setWindowIcon(icon);

    PopupMenu1 = new QMenu(&window_);
    PopupMenu1->setObjectName("PopupMenu1");
    TrayForceMax = menu_item(PopupMenu1, "TrayForceMax", "Force max.");
    TrayForceMin = menu_item(PopupMenu1, "TrayForceMin", "Force min.");
    TrayAutoFSB = menu_item(PopupMenu1, "TrayAutoFSB", "AutoFSB", true);
    TrayAutoFan = menu_item(PopupMenu1, "TrayAutoFan", "AutoFan", true);
    Exit1 = menu_item(PopupMenu1, "Exit1", "Exit");

    // The icon shows only when the start-up asks for it (ShowTrayIcon). Qt opens the context
    // menu on the right button; a double click restores the window (ConnectEvents).
    TrayIcon1 = new QSystemTrayIcon(icon, &window_);
    TrayIcon1->setObjectName("TrayIcon1");
    TrayIcon1->setToolTip("velmora");
    TrayIcon1->setContextMenu(PopupMenu1);
}

QIcon tray_icon_with_temperature(int celsius) {
    return chip_icon(QString::number(celsius));
}

// The tray icon shows the CPU temperature as a number; the plain chip while none is known.
// Drawn only when the number changes, and only where a tray shows it.
void Tray::ShowTrayTemperature() {
    if (!TrayIcon1->isVisible())
        return;
    const QString number =
        window_.cpu_temperature_known ? QString::number(window_.cpu_temperature) : QString();
    if (number == tray_number_ && !tray_number_drawn_.isNull())
        return;
    tray_number_ = number;
    tray_number_drawn_ = number.isEmpty() ? chip_icon() : chip_icon(number);
    TrayIcon1->setIcon(tray_number_drawn_);
}

bool Tray::ShowTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    TrayIcon1->show();
    return true;
}

void Tray::MinimizeToTray() {
    if (TrayIcon1->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()) {
        // A hidden window has no task-bar button; the tray icon is the way back.
        window_.setWindowState(window_.windowState() | Qt::WindowMinimized);
        window_.hide();
    } else {
        window_.showMinimized();
    }
}

void Tray::RestoreFromTray() {
    window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
    window_.show();
    window_.raise();
    window_.activateWindow();
}
