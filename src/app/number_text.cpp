#include "app/number_text.h"

#include <charconv>
#include <cmath>

namespace {
QString latin1(const char* first, const char* last) {
    return QString::fromLatin1(first, static_cast<int>(last - first));
}
}  // namespace

QString format_fixed(double value, int decimals) {
    char text[400];  // the largest double in fixed notation has 309 digits
    auto res = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return latin1(text, res.ptr);
}

QString format_whole(long value) {
    char text[24];
    auto res = std::to_chars(text, text + sizeof text, value);
    return latin1(text, res.ptr);
}

QString format_rounded(double value) {
    return format_whole(std::lround(value));
}

QString format_shortest(double value) {
    char text[32];
    auto res = std::to_chars(text, text + sizeof text, value, std::chars_format::general);
    return latin1(text, res.ptr);
}
