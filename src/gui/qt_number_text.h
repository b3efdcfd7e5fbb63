// SPDX-License-Identifier: GPL-2.0-or-later
// Numbers as the window shows them, from the locale-free number texts.
#pragma once

#include <QString>

#include "diag/number_text.h"

inline QString format_fixed(double value, int decimals) {
    return QString::fromStdString(fixed_text(value, decimals));
}
inline QString format_whole(long value) {
    return QString::fromStdString(whole_text(value));
}
inline QString format_rounded(double value) {
    return QString::fromStdString(rounded_text(value));
}
inline QString format_shortest(double value) {
    return QString::fromStdString(shortest_text(value));
}
