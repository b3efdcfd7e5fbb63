#include "support/configfile.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "app/debuglog.h"
#include "support/atomic_file.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";

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

void drop_held_text() {
    state.text.clear();
    state.text.shrink_to_fit();
    state.held = false;
}

// Reads the whole file into the held text; on any failure the held text is empty.
LoadResult configfile_load(const char* file) {
    struct stat st {};
    if (::stat(file, &st) != 0) {
        debug_print("CONFIGFILE: Can't stat %s\n", file);
        drop_held_text();
        return LoadResult::Missing;
    }
    std::FILE* f = std::fopen(file, "rb");
    if (!f) {
        debug_print("CONFIGFILE: Can't open %s for read\n", file);
        drop_held_text();
        return LoadResult::Unreadable;
    }
    drop_held_text();
    const size_t size = static_cast<size_t>(st.st_size);
    try {
        state.text.resize(size);
    } catch (const std::bad_alloc&) {
        debug_print("CONFIGFILE: Can't allocate memory\n");
        std::fclose(f);
        drop_held_text();
        return LoadResult::Unreadable;
    }
    const size_t got = size ? std::fread(state.text.data(), 1, size, f) : 0;
    std::fclose(f);
    if (size == 0 || got != size) {
        debug_print("CONFIGFILE: Can't read from %s\n", file);
        drop_held_text();
        // Only an empty regular file counts as empty: a device or a directory is never
        // replaced by a settings file.
        return (size == 0 && S_ISREG(st.st_mode)) ? LoadResult::Empty : LoadResult::Unreadable;
    }
    state.held = true;
    return LoadResult::Loaded;
}

bool begins_line(size_t pos) {
    return pos == 0 || (pos >= 2 && state.text.compare(pos - 2, 2, kCrLf) == 0);
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

// The whole new text goes out as one block; a short write leaves the old file in place.
int replace_file(const char* file, const std::string& text) {
    switch (write_file_atomically(file, text)) {
        case AtomicWrite::Written:
            return 1;
        case AtomicWrite::CannotOpen:
            debug_print("CONFIGFILE: Can't open %s for write\n", file);
            return 0;
        case AtomicWrite::WriteError:
            break;
    }
    debug_print("CONFIGFILE: Write error\n");
    return 0;
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

int configfile_read(const char* file, const char* section, const char* key, void* value,
                    uint8_t kind) {
    if (configfile_load(file) != LoadResult::Loaded)
        return 0;
    auto v = configfile_find_key(section, key);
    if (!v)
        return 0;
    if (!value)
        return 1;
    size_t eol = state.text.find(kCrLf, *v);
    if (eol == std::string::npos)
        return 0;
    // Longer values are cut to what the caller's 80-byte buffer holds.
    size_t len = std::min(eol - *v, kConfigValueBuffer - 1);
    char text[kConfigValueBuffer];
    std::memcpy(text, state.text.data() + *v, len);
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
    if (!value)
        return 0;
    // A file that is there but could not be read whole is never rewritten: its settings
    // would be lost.
    if (configfile_load(file) == LoadResult::Unreadable)
        return 0;
    return replace_file(file, compose(section, key, format_value(value, kind)));
}

const std::string& configfile_held_text() {
    return state.text;
}

void configfile_reset() {
    drop_held_text();
}
