// SPDX-License-Identifier: GPL-2.0-or-later
#include "diag/debuglog.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <sys/stat.h>

#include "diag/append_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

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

// What is at the log's name now, as the file system knows it: the same identity as a refused
// one means the same refused thing, whatever folder name led there. With its size, the same
// file unchanged since.
std::string identity_at(const char* path, bool with_size = false) {
    struct stat st {};
#ifdef _WIN32
    if (::stat(path, &st) != 0)
#else
    if (::lstat(path, &st) != 0)
#endif
        return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_mode) + (with_size ? ":" + std::to_string(st.st_size) : "");
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

std::string log_excerpt(const std::string& text, size_t max) {
    std::string out;
    const size_t n = std::min(text.size(), max);
    for (size_t i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            append_hex2(out, byte);
        } else {
            out += text[i];
        }
    }
    if (text.size() > max)
        out += "...";
    return out;
}

namespace {

// The line written last and how often it came again since: a line said many times in a row
// (a missing file asked for key by key) is written once, and its count when another follows.
struct Repeats {
    std::string line;
    int more = 0;
    std::string where;  // the log's identity and size after that line: the same file, unchanged
};

// The log as it is now: which file, and how long. Another file (a new folder, a new log after
// a rotation) or other writes in between end a run of repeats.
std::string log_state() {
    return identity_at(kDebugLogName, true);
}
Repeats& repeats() {
    static Repeats r;
    return r;
}

// The load sampler's thread may write a line too (when it gives up): one writer at a time.
std::mutex& writer() {
    static std::mutex m;
    return m;
}

void append_to_log(const std::string& text);

// "CONFIGFILE: ... 17 more times": the repeated line's tag, then the count.
void write_count(Repeats& r) {
    if (r.more == 0)
        return;
    const size_t tag = r.line.find(": ");
    std::string count = (tag == std::string::npos ? std::string() : r.line.substr(0, tag + 2)) +
                        "... " + std::to_string(r.more) +
                        (r.more == 1 ? " more time\n" : " more times\n");
    r.more = 0;
    append_to_log(count);
}

}  // namespace

void debug_write(const std::string& text) {
    const std::lock_guard<std::mutex> one_at_a_time(writer());
    Repeats& r = repeats();
    if (!text.empty() && text == r.line && !r.where.empty() && r.where == log_state()) {
        ++r.more;
        return;
    }
    if (r.where == log_state())
        write_count(r);
    r.more = 0;
    r.line = text;
    append_to_log(text);
    r.where = log_state();
}

void debug_flush_repeats() {
    const std::lock_guard<std::mutex> one_at_a_time(writer());
    Repeats& r = repeats();
    if (r.where == log_state())
        write_count(r);
    r = Repeats{};
}

namespace {
void append_to_log(const std::string& text) {
    // A refused log stays unused while the same thing is at its name: the user was told once.
    static std::string refused;
    if (!refused.empty() && refused == identity_at(kDebugLogName))
        return;
    int fd = -1;
    std::string why;
    switch (open_for_append(kDebugLogName, fd, why)) {
        case AppendOpen::Opened:
            break;
        case AppendOpen::Refused:
            refused = identity_at(kDebugLogName);
            std::fprintf(stderr, "velmora: %s is %s, the run goes on without a log\n",
                         kDebugLogName, why.c_str());
            std::fflush(stderr);
            return;
        case AppendOpen::CannotOpen:
            return;
    }
    write_whole(fd, text);
    const bool large = file_size(fd) > kRotateAtBytes;
    ::close(fd);
    // A window or a service left running for months keeps its log bounded too, not only a
    // start: past the size, the log is put aside as at a start and the next line begins anew.
    if (large)
        rotate_when_large(kDebugLogName);
}
}  // namespace
