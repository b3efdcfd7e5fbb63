// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/qt_prompts.h"

#include <QApplication>
#include <QMessageBox>

#include "gui/hardware_steps.h"

void QtPrompts::show_message(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    const NestedEventLoop nested;
    box.exec();
}

bool QtPrompts::ask_yes_no(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    const NestedEventLoop nested;
    return box.exec() == QMessageBox::Yes;
}
