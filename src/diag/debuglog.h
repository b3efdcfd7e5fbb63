// SPDX-License-Identifier: GPL-2.0-or-later
// The debug log "velmora.deb": every module's trace of what it did to the hardware.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

// One argument of a debug_print line. The log's format language reads each argument as a
// 32-bit integer, a double or a text; this records which one the caller passed so a mismatch
// can never read past the argument list.
class LogArg {
  public:
    enum class Kind { Integer, Real, Text };

    template <typename T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>, int> = 0>
    LogArg(T value) : kind_(Kind::Integer), bits_(static_cast<uint32_t>(value)) {}
    LogArg(double value) : kind_(Kind::Real), real_(value) {}
    LogArg(float value) : kind_(Kind::Real), real_(value) {}
    LogArg(const char* text) : kind_(Kind::Text), text_(text) {}
    LogArg(const std::string& text) : kind_(Kind::Text), text_(text.c_str()) {}

    Kind kind() const { return kind_; }
    uint32_t bits() const;  // the argument as a 32-bit integer
    double real() const;    // the argument as a double
    const char* text() const { return kind_ == Kind::Text ? text_ : nullptr; }

  private:
    Kind kind_;
    uint32_t bits_ = 0;
    double real_ = 0.0;
    const char* text_ = nullptr;
};

// Formats one log line. The format language is the log's own, not printf's: after a '%' the
// next character alone picks the conversion ("%d" signed decimal, "%f" three decimals,
// "%s" text, anything else lower-case hex of at least two digits), so "%5d" writes the
// argument in hex followed by a plain "d". Numbers never follow the user's locale.
std::string debug_format(const char* format, std::initializer_list<LogArg> args);

// Appends text to "velmora.deb" in the current directory: opened, written and closed on every
// call so each line is on disk when the call returns. A log that cannot be opened (a folder
// not writable, a full disk) loses the line silently. A log that may not be used (a link, a
// FIFO, a directory, another user's file: see append_file.h) is said once on standard error,
// and the run goes on without a log.
void debug_write(const std::string& text);

// A line written again and again in a row is written once; when another line follows, or at
// the end of the run (this call), "<TAG>: ... N more times" says how often it came again.
void debug_flush_repeats();

template <typename... Args>
void debug_print(const char* format, const Args&... args) {
    debug_write(debug_format(format, {LogArg(args)...}));
}

// Text from a file the user may have written, made fit for one log line: its first `max` bytes,
// "..." when there were more, and every control byte shown as "\xNN".
std::string log_excerpt(const std::string& text, size_t max = 80);

// The name of the debug log, resolved against the current directory at every call.
inline constexpr const char* kDebugLogName = "velmora.deb";
