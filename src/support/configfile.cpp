// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/configfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "diag/debuglog.h"
#include "support/atomic_file.h"
#include "support/regular_file.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The text of the file loaded last. `held` is false after a failed load.
struct ConfigFileState {
    std::string text;
    bool held = false;
};
ConfigFileState state;

enum class LoadResult {
    Loaded,
    Missing,     // no such file: a write creates it
    Empty,       // a regular file of size 0: a write treats it as missing
    Unreadable,  // exists but cannot be read whole: a write must not replace it
};

// What a load or a write did and the line it logged, so that one save can stand for several
// writes and log what each of them would have.
struct Outcome {
    std::string note;    // the log line written, empty when none
    std::string reason;  // why the file was not read or written
};

void note(Outcome& outcome, std::string line) {
    debug_write(line);
    outcome.note = std::move(line);
}

void drop_held_text() {
    state.text.clear();
    state.text.shrink_to_fit();
    state.held = false;
}

// Reads the whole file into the held text; on any failure the held text is empty.
LoadResult configfile_load(const char* file, Outcome& outcome) {
    state.held = false;
    std::string refused;
    const FileRead read = read_regular_file(file, state.text, &refused);
    const int error = errno;
    switch (read) {
        case FileRead::Read:
            if (!state.text.empty()) {
                state.held = true;
                return LoadResult::Loaded;
            }
            note(outcome, debug_format("CONFIGFILE: Can't read from %s\n", {file}));
            drop_held_text();
            return LoadResult::Empty;
        case FileRead::Missing:
            note(outcome, debug_format("CONFIGFILE: Can't stat %s\n", {file}));
            drop_held_text();
            return LoadResult::Missing;
        case FileRead::NotRegular:
            // A FIFO would block the start, a device or folder is never settings: neither is
            // read, and a write must not replace it.
            note(outcome, debug_format("CONFIGFILE: %s is not a regular file, not read\n", {file}));
            outcome.reason = "not a regular file";
            break;
        case FileRead::Refused:
            // Read through another user's link, it could bring any file's words into the log.
            note(outcome, debug_format("CONFIGFILE: %s is %s, not read\n", {file, refused}));
            outcome.reason = refused;
            break;
        case FileRead::CannotOpen:
            note(outcome, debug_format("CONFIGFILE: Can't open %s for read\n", {file}));
            outcome.reason = std::strerror(error);
            break;
        case FileRead::NoMemory:
            note(outcome, debug_format("CONFIGFILE: Can't allocate memory\n", {}));
            outcome.reason = std::strerror(ENOMEM);
            break;
        case FileRead::ReadError:
            note(outcome, debug_format("CONFIGFILE: Can't read from %s\n", {file}));
            outcome.reason = std::strerror(error);
            break;
    }
    drop_held_text();
    return LoadResult::Unreadable;
}

bool begins_line(size_t pos) {
    const std::string& t = state.text;
    return pos == 0 || (pos >= 2 && t.compare(pos - 2, 2, kCrLf) == 0) ||
           (pos == kByteOrderMark.size() && t.compare(0, pos, kByteOrderMark) == 0);
}

// The first occurrence of `needle` at or after `from` that begins a line.
std::optional<size_t> find_at_line_start(const std::string& needle, size_t from) {
    for (size_t pos = state.text.find(needle, from); pos != std::string::npos;
         pos = state.text.find(needle, pos + 1)) {
        if (begins_line(pos))
            return pos;
    }
    return std::nullopt;
}

// The position of the section's body: the first byte after its header line.
std::optional<size_t> configfile_find_section(const char* section) {
    if (!state.held || std::strlen(section) + 4 > kConfigLineLimit)
        return std::nullopt;
    const std::string header = "[" + std::string(section) + "]" + std::string(kCrLf);
    auto pos = find_at_line_start(header, 0);
    if (!pos)
        return std::nullopt;
    return *pos + header.size();
}

// The position of the first byte of the key's value within its section.
std::optional<size_t> configfile_find_key(const char* section, const char* key) {
    if (!state.held || std::strlen(key) + 1 > kConfigLineLimit)
        return std::nullopt;
    auto body = configfile_find_section(section);
    if (!body)
        return std::nullopt;
    const std::string entry = std::string(key) + "=";
    auto pos = find_at_line_start(entry, *body);
    if (!pos)
        return std::nullopt;
    // The body ends at the next '[': an entry beyond it belongs to a later section.
    if (state.text.find('[', *body) < *pos)
        return std::nullopt;
    return *pos + entry.size();
}

std::string format_value(const void* value, uint8_t kind) {
    switch (kind) {
        case CONFIG_INT: {
            int32_t v;
            std::memcpy(&v, value, sizeof v);
            return std::to_string(v);
        }
        case CONFIG_BYTE:
            return std::to_string(*static_cast<const uint8_t*>(value));
        default:
            return static_cast<const char*>(value);
    }
}

// The whole new text of the file with the one value replaced or added.
std::string compose(const char* section, const char* key, const std::string& value) {
    const std::string& held = state.text;
    std::string out;
    out.reserve(held.size() + std::strlen(section) + std::strlen(key) + value.size() + 16);
    if (auto v = configfile_find_key(section, key)) {
        out.append(held, 0, *v);
        out += value;
        out += kCrLf;
        size_t eol = held.find(kCrLf, *v);
        // Without a line end the old value runs to the end of the file and is dropped.
        if (eol != std::string::npos)
            out.append(held, eol + kCrLf.size());
    } else if (auto b = configfile_find_section(section)) {
        out.append(held, 0, *b);
        out += std::string(key) + "=" + value + std::string(kCrLf);
        out.append(held, *b);
    } else {
        out += held;
        out += std::string(kCrLf) + "[" + section + "]" + std::string(kCrLf);
        out += std::string(key) + "=" + value + std::string(kCrLf);
    }
    return out;
}

// The whole new text goes out as one block; a failed write leaves the old file in place.
bool replace_file(const char* file, const std::string& text, Outcome& outcome) {
    std::string why;
    switch (write_file_atomically(file, text, &why)) {
        case AtomicWrite::Written:
            return true;
        case AtomicWrite::WrittenInPlace:
            note(outcome, debug_format("CONFIGFILE: %s saved in place, %s\n", {file, why}));
            return true;
        case AtomicWrite::Refused:
            note(outcome, debug_format("CONFIGFILE: %s is %s, not written\n", {file, why}));
            break;
        case AtomicWrite::CannotOpen:
            note(outcome, debug_format("CONFIGFILE: Can't open %s for write: %s\n", {file, why}));
            break;
        case AtomicWrite::WriteError:
            note(outcome, debug_format("CONFIGFILE: Write error on %s: %s\n", {file, why}));
            break;
    }
    outcome.reason = why;
    return false;
}

// Where the key's value lies in the file's text: from its first byte to its line end (npos for
// a last line without one). Nothing when the file cannot be read or has no such key.
struct ValueSpan {
    size_t begin;
    size_t end;
};
std::optional<ValueSpan> value_in_file(const char* file, const char* section, const char* key) {
    Outcome outcome;
    if (configfile_load(file, outcome) != LoadResult::Loaded)
        return std::nullopt;
    const auto v = configfile_find_key(section, key);
    if (!v)
        return std::nullopt;
    return ValueSpan{*v, state.text.find(kCrLf, *v)};
}

void log_again(const Outcome& outcome) {
    if (!outcome.note.empty())
        debug_write(outcome.note);
}

}  // namespace

int32_t configfile_decimal(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = (*p++ == '-');
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > int64_t{1} << 31)
            magnitude = int64_t{1} << 31;  // saturate
    }
    int64_t v = negative ? -magnitude : magnitude;
    if (v > INT32_MAX)
        v = INT32_MAX;
    return static_cast<int32_t>(v);
}

size_t configfile_value_length(const char* file, const char* section, const char* key) {
    const auto v = value_in_file(file, section, key);
    return v && v->end != std::string::npos ? v->end - v->begin : 0;
}

int configfile_read(const char* file, const char* section, const char* key, void* value,
                    uint8_t kind) {
    const auto v = value_in_file(file, section, key);
    if (!v)
        return 0;
    if (!value)
        return 1;
    if (v->end == std::string::npos)
        return 0;
    // Longer values are cut to what the caller's 80-byte buffer holds.
    size_t len = std::min(v->end - v->begin, kConfigValueBuffer - 1);
    char text[kConfigValueBuffer];
    std::memcpy(text, state.text.data() + v->begin, len);
    text[len] = '\0';
    switch (kind) {
        case CONFIG_INT: {
            int32_t n = configfile_decimal(text);
            std::memcpy(value, &n, sizeof n);
            break;
        }
        case CONFIG_BYTE:
            *static_cast<uint8_t*>(value) =
                static_cast<uint8_t>(static_cast<uint32_t>(configfile_decimal(text)) & 0xFFu);
            break;
        default:
            std::memcpy(value, text, len + 1);
            break;
    }
    return 1;
}

int configfile_write(const char* file, const char* section, const char* key, const void* value,
                     uint8_t kind) {
    const ConfigEdit edit{section, key, value, kind};
    return configfile_write_many(file, &edit, 1);
}

int configfile_write_many(const char* file, const ConfigEdit* edits, size_t count,
                          std::string* failure) {
    size_t writes = 0;
    for (size_t i = 0; i < count; ++i)
        writes += edits[i].value ? 1 : 0;
    if (writes == 0)
        return count == 0 ? 1 : 0;
    Outcome load;
    const LoadResult loaded = configfile_load(file, load);
    // A file that is there but could not be read whole is never rewritten: its settings
    // would be lost. Each write would have tried to load it and said so.
    if (loaded == LoadResult::Unreadable) {
        for (size_t i = 1; i < writes; ++i)
            log_again(load);
        if (failure)
            *failure = load.reason;
        return 0;
    }
    // Each edit works on the text the one before it left, as the next write would have found
    // it on disk; the held text ends as the last of those writes would have loaded it.
    std::string original;
    if (writes > 1)
        original = state.text;
    std::string text;
    size_t done = 0;
    for (size_t i = 0; i < count; ++i) {
        const ConfigEdit& e = edits[i];
        if (!e.value)
            continue;
        text = compose(e.section, e.key, format_value(e.value, e.kind));
        // An editor's byte-order mark was passed over on reading; the file goes back without
        // it, as this program writes every file. Not when a second mark follows: the line
        // behind it would then begin the file and count as a header or entry it was not.
        if (text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 &&
            text.compare(kByteOrderMark.size(), kByteOrderMark.size(), kByteOrderMark) != 0)
            text.erase(0, kByteOrderMark.size());
        if (++done < writes) {
            state.text.swap(text);
            state.held = true;
        }
    }
    Outcome write;
    const bool written = replace_file(file, text, write);
    // The writes after the first: a failed one leaves the file as it was, so each would have
    // loaded it as the first did.
    for (size_t i = 1; i < writes; ++i) {
        if (!written)
            log_again(load);
        log_again(write);
    }
    if (!written) {
        if (writes > 1) {
            state.text = std::move(original);
            state.held = loaded == LoadResult::Loaded;
        }
        if (failure)
            *failure = write.reason;
        return 0;
    }
    return writes == count ? 1 : 0;
}

const std::string& configfile_held_text() {
    return state.text;
}

void configfile_reset() {
    drop_held_text();
}
