// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/whole_number.h"

#include <cstdlib>
#include <string>

bool parse_whole_number(const char* text, int32_t& out) {
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    const char* start = p;
    if (*p == '+' || *p == '-')
        ++p;
    const char* digits = p;
    while (*p >= '0' && *p <= '9')
        ++p;
    const char* end = p;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (end == digits || *p != '\0' || end - digits > 10)
        return false;
    const long long v = std::strtoll(std::string(start, end).c_str(), nullptr, 10);
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    out = static_cast<int32_t>(v);
    return true;
}
