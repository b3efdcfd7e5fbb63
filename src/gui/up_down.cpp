// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/up_down.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int kArrowWidth = 17;
constexpr int kArrowHeight = 16;

QToolButton* make_arrow(QWidget* parent, Qt::ArrowType arrow) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);  // held down, the arrow keeps stepping
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(kArrowWidth, kArrowHeight);
    return button;
}
}  // namespace

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
    up_ = make_arrow(this, Qt::UpArrow);
    down_ = make_arrow(this, Qt::DownArrow);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(up_, &QToolButton::clicked, this, [this] { step(true); });
    connect(down_, &QToolButton::clicked, this, [this] { step(false); });
}

void UpDown::setRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    setPosition(position_);
}

void UpDown::setPosition(int position) {
    position_ = std::clamp(position, min_, max_);
}

void UpDown::step(bool up) {
    const int before = position_;
    setPosition(position_ + (up ? increment_ : -increment_));
    if (position_ != before)
        emit clicked(up);
}
