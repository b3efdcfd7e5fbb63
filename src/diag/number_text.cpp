// SPDX-License-Identifier: GPL-2.0-or-later
#include "diag/number_text.h"

#include <charconv>
#include <cmath>

std::string fixed_text(double value, int decimals) {
    char text[400];  // the largest double in fixed notation has 309 digits
    auto res = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, res.ptr);
}

std::string whole_text(long value) {
    char text[24];
    auto res = std::to_chars(text, text + sizeof text, value);
    return std::string(text, res.ptr);
}

std::string rounded_text(double value) {
    return whole_text(std::lround(value));
}

std::string shortest_text(double value) {
    char text[32];
    auto res = std::to_chars(text, text + sizeof text, value, std::chars_format::general);
    return std::string(text, res.ptr);
}

std::string general_text(double value, int significant) {
    char text[400];
    auto res =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, significant);
    return std::string(text, res.ptr);
}
