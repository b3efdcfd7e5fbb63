// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/presets_file.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "diag/debuglog.h"
#include "diag/number_text.h"
#include "support/atomic_file.h"
#include "support/regular_file.h"

namespace {

constexpr int kMinFsb = 50;
constexpr int kMaxFsb = 300;
constexpr double kMaxVolts = 5.0;
// A run of non-blank characters longer than this is read as several words.
constexpr size_t kMaxWord = 70;

#ifdef _WIN32
constexpr const char* kLineEnd = "\r\n";
#else
constexpr const char* kLineEnd = "\n";
#endif

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename T>
bool whole_number(const std::string& text, T& value) {
    const char* const end = text.data() + text.size();
    const auto res = std::from_chars(text.data(), end, value);
    return !text.empty() && res.ec == std::errc() && res.ptr == end;
}

bool volts(const std::string& text, double& value) {
    return whole_number(text, value) && std::isfinite(value) && value >= 0.0 && value <= kMaxVolts;
}

}  // namespace

std::string preset_format(const Preset& preset) {
    return whole_text(preset.fsb) + ":" + fixed_text(preset.vcore, 3) + ":" +
           fixed_text(preset.vdimm, 2);
}

bool preset_parse(const std::string& word, Preset* out) {
    const size_t first = word.find(':');
    if (first == std::string::npos)
        return false;
    const size_t second = word.find(':', first + 1);
    if (second == std::string::npos || word.find(':', second + 1) != std::string::npos)
        return false;
    int fsb = 0;
    double vcore = 0.0, vdimm = 0.0;
    if (!whole_number(word.substr(0, first), fsb) || fsb < kMinFsb || fsb > kMaxFsb ||
        !volts(word.substr(first + 1, second - first - 1), vcore) ||
        !volts(word.substr(second + 1), vdimm))
        return false;
    *out = Preset{static_cast<int16_t>(fsb), vcore, vdimm};
    return true;
}

int preset_save(const char* file) {
    std::string text;
    Preset preset{};
    for (int i = 0; i < preset_count(); ++i) {
        preset_at(i, &preset);
        text += preset_format(preset) + kLineEnd;
    }
    std::string why;
    switch (write_file_atomically(file, text, &why)) {
        case AtomicWrite::Written:
            return 1;
        case AtomicWrite::WrittenInPlace:
            debug_print("PRESETS: %s saved in place, %s\n", file, why);
            return 1;
        case AtomicWrite::Refused:
        case AtomicWrite::CannotOpen:
        case AtomicWrite::WriteError:
            break;
    }
    debug_print("PRESETS: Can't open %s for write\n", file);
    return 0;
}

int preset_load(const char* file) {
    std::string text;
    if (read_regular_file(file, text) != FileRead::Read) {
        debug_print("PRESETS: Can't open %s for read\n", file);
        return 0;
    }
    // A file of any size may be read: the log lists its first bad words and counts the rest.
    constexpr int kListed = 20;
    int wrong = 0;
    // An editor's byte-order mark is no part of the first preset.
    constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
    size_t at = text.rfind(kByteOrderMark, 0) == 0 ? std::strlen(kByteOrderMark) : 0;
    while (true) {
        while (at < text.size() && is_blank(text[at]))
            ++at;
        if (at == text.size())
            break;
        size_t end = at;
        while (end < text.size() && end - at < kMaxWord && !is_blank(text[end]))
            ++end;
        const std::string word = text.substr(at, end - at);
        at = end;
        Preset preset{};
        if (preset_parse(word, &preset)) {
            preset_add(preset);
        } else if (++wrong <= kListed) {
            debug_print("PRESETS: %s line %s wrong syntax\n", file, log_excerpt(word));
        }
    }
    if (wrong > kListed)
        debug_print("PRESETS: %d more lines of %s with wrong syntax not listed\n", wrong - kListed,
                    file);
    return 1;
}
