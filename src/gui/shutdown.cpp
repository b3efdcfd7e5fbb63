// SPDX-License-Identifier: GPL-2.0-or-later
// The window's close (Session::Close runs it) and Reset: the timers stop, the choices its boxes
// hold are saved, and the values found at start-up go back into the controls.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QSpinBox>
#include <QTimer>

#include "app/main_settings.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"

// Runs once, whichever way the window is closed (close box, Exit, tray menu, end of session).
void TMain::CloseFunc(QObject*) {
    Close();
}

void TMain::Exit(QObject*) {
    // A window hidden in the tray does not end the loop by closing.
    if (close())
        QCoreApplication::quit();
}

// The values found at start-up back into the controls; nothing is written to the board.
void MainTab::Reset(QObject* sender) {
    if (window_.EndAutoFsbRunFirst([this, sender] { Reset(sender); }))
        return;
    window_.InitValues(false);
    FillMainTab();
}
