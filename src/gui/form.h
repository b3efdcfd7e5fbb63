// SPDX-License-Identifier: GPL-2.0-or-later
// Factories for the form's kinds of control, shared by the tabs.
#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>
#include <initializer_list>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

// The panel behind the clock and load figures.
inline const QColor kDisplayPanel{0, 0, 0};

// Factories for the form's kinds of control, shared by the tabs. Each control gets its form
// name as objectName and the hint, when one is given, as tool tip.
namespace form {
QGroupBox* group(QWidget* parent, const char* name, const char* caption);
// A spin edit: range, step and value; the arrows and keys change it, typing does not.
QSpinBox* spin_edit(QWidget* parent, const char* name, int min, int max, int step, int value,
                    const char* hint = nullptr);
QCheckBox* check_box(QWidget* parent, const char* name, const char* caption,
                     const char* hint = nullptr);
QPushButton* button(QWidget* parent, const char* name, const char* caption);
// A fixed list (drop-down, not editable) with its items; the first one is selected.
QComboBox* fixed_list(QWidget* parent, const char* name, const QStringList& items,
                      const char* hint = nullptr);
QLineEdit* read_only_text(QWidget* parent, const char* name, const char* text,
                          const char* hint = nullptr);
// A vertical track bar with position 0 at the top (and the Up key and wheel moving up).
QSlider* track_bar(QWidget* parent, const char* name, int max, int position, int tick = 1);
QLabel* label(QWidget* parent, const char* name, const char* text, const char* hint = nullptr);
// A caption beside a control; the control is its buddy, so the pair can be found again.
QLabel* caption_for(QWidget* control, const char* text);
// The keyboard's way through a group, in the order the controls are seen.
inline void keyboard_order(std::initializer_list<QWidget*> order) {
    for (auto at = order.begin(); at != order.end() && at + 1 != order.end(); ++at)
        QWidget::setTabOrder(*at, *(at + 1));
}
}  // namespace form
