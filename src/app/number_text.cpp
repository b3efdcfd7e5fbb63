#include "app/number_text.h"

#include <charconv>
#include <cmath>

QString format_rounded(double value) {
    char buf[32];
    const double r = std::round(value);
    auto res = std::to_chars(buf, buf + sizeof buf, r, std::chars_format::fixed, 0);
    return QString::fromLatin1(buf, static_cast<int>(res.ptr - buf));
}

QString format_shortest(double value) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, static_cast<int>(res.ptr - buf));
}
