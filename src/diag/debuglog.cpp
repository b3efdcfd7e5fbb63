#include "diag/debuglog.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

uint32_t LogArg::bits() const {
    switch (kind_) {
        case Kind::Integer:
            return bits_;
        case Kind::Real: {
            // A double read as an integer: truncated toward zero, held inside 32 bits.
            if (std::isnan(real_))
                return 0;
            double clamped = std::fmax(std::fmin(real_, 2147483647.0), -2147483648.0);
            return static_cast<uint32_t>(static_cast<int32_t>(clamped));
        }
        case Kind::Text:
            break;
    }
    return 0;
}

double LogArg::real() const {
    switch (kind_) {
        case Kind::Integer:
            return static_cast<double>(static_cast<int32_t>(bits_));
        case Kind::Real:
            return real_;
        case Kind::Text:
            break;
    }
    return 0.0;
}

namespace {

void append_decimal(std::string& out, int32_t value) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void append_fixed3(std::string& out, double value) {
    if (std::isnan(value)) {
        out += std::signbit(value) ? "-nan" : "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    char buf[400];  // the largest double in fixed notation has 309 digits
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 3);
    out.append(buf, res.ptr);
}

void append_hex2(std::string& out, uint32_t value) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
    if (res.ptr - buf < 2)
        out += '0';
    out.append(buf, res.ptr);
}

void append_text(std::string& out, const LogArg& arg) {
    if (arg.kind() == LogArg::Kind::Text) {
        out += arg.text() ? arg.text() : "(null)";
    } else if (arg.kind() == LogArg::Kind::Real) {
        append_fixed3(out, arg.real());
    } else {
        append_decimal(out, static_cast<int32_t>(arg.bits()));
    }
}

}  // namespace

std::string debug_format(const char* format, std::initializer_list<LogArg> args) {
    std::string out;
    if (!format)
        return out;
    const LogArg* next = args.begin();
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        char conversion = *++p;
        if (conversion == '\0')
            break;  // a trailing '%' takes nothing and ends the line
        if (next == args.end())
            continue;  // more conversions than arguments: write nothing
        const LogArg& arg = *next++;
        switch (conversion) {
            case 'd':
                append_decimal(out, static_cast<int32_t>(arg.bits()));
                break;
            case 'f':
                append_fixed3(out, arg.real());
                break;
            case 's':
                append_text(out, arg);
                break;
            default:  // 'x' and every other character
                append_hex2(out, arg.bits());
                break;
        }
    }
    return out;
}

void debug_write(const std::string& text) {
#ifdef _WIN32
    const char* mode = "a+t";  // text mode: each "\n" lands as CR LF
#else
    const char* mode = "a+";
#endif
    std::FILE* f = std::fopen(kDebugLogName, mode);
    if (!f)
        return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}
