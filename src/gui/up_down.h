// SPDX-License-Identifier: GPL-2.0-or-later
// UpDown: the pair of arrow buttons beside a track bar. Qt has none, so this is a small
// widget of its own with a position, a range and an increment.
#pragma once

#include <QWidget>

class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT

  public:
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int position() const { return position_; }
    int increment() const { return increment_; }

    // A new range pulls the position inside it. None of the setters emits clicked().
    void setRange(int min, int max);
    void setMinimum(int min) { setRange(min, max_); }
    void setMaximum(int max) { setRange(min_, max); }
    // A position outside the range is clamped to it.
    void setPosition(int position);
    // The upper arrow adds the increment, the lower one subtracts it: an increment of -1 makes
    // the upper arrow walk towards position 0, where an upside-down track bar has its top.
    void setIncrement(int increment) { increment_ = increment; }

    // What a click on an arrow does: moves the position by one increment (clamped) and emits
    // clicked() when that moved it. At a limit an arrow does nothing.
    void step(bool up);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

  signals:
    // A click on an arrow that moved the position; up is the upper arrow.
    void clicked(bool up);

  private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int increment_ = 1;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
};
