// SPDX-License-Identifier: GPL-2.0-or-later
// Single values in sectioned settings files (config.ini, sensor.ini, sensormap.ini,
// autofan.ini). Every call reads the whole file again; a write writes the whole file again.
//
// File format: byte text, lines end in CR LF (the only line end recognised or written).
// "[Section]" CR LF begins a section; "key=value" CR LF is an entry, no blanks around '='.
// Names compare byte for byte. A section's body runs to the next '[' in the text. Headers and
// entries count only where they begin a line; a UTF-8 byte-order mark at the start of the file
// counts as the start of the first line and is left out when the file is written back. Any other
// line is carried through unchanged. Only regular files are read or written: a FIFO, device or
// directory at the path is refused and logged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum ConfigKind : uint8_t {
    CONFIG_TEXT = 0,  // char buffer of at least kConfigValueBuffer bytes / terminated text
    CONFIG_INT = 1,   // int32_t, written with "%d"
    CONFIG_BYTE = 2,  // uint8_t, written as 0..255
};

inline constexpr size_t kConfigLineLimit = 80;    // header or "key=" must fit in 80 characters
inline constexpr size_t kConfigValueBuffer = 80;  // a value read is at most 79 characters

// 1 when the key has an entry in the section and (with a value pointer) its value was stored
// there; 0 otherwise, leaving *value untouched. With value == nullptr only tests existence.
int configfile_read(const char* file, const char* section, const char* key, void* value,
                    uint8_t kind);

// The whole length of the key's value in the file, also past what configfile_read gives back;
// 0 when the key is not there.
size_t configfile_value_length(const char* file, const char* section, const char* key);

// 1 when the file was written out with the value replaced or added; 0 when it could not be,
// in which case the file on disk is unchanged.
int configfile_write(const char* file, const char* section, const char* key, const void* value,
                     uint8_t kind);

// One value to write, as configfile_write takes it.
struct ConfigEdit {
    const char* section;
    const char* key;
    const void* value;
    uint8_t kind;
};

// Writes the values as that many configfile_write calls in the same order would (the same
// bytes on disk, the same log lines, the same held text afterwards), but reads the file once
// and writes it once. 1 when the file was written with every value; 0 otherwise (an edit
// without a value is skipped, as configfile_write skips it). When the file could not be
// written it is unchanged on disk and `failure`, when given, receives the reason.
int configfile_write_many(const char* file, const ConfigEdit* edits, size_t count,
                          std::string* failure = nullptr);

// The decimal conversion of a value text: leading white space, one optional sign, digits up
// to the first non-digit; no digits give 0. Saturates at the 32-bit limits.
int32_t configfile_decimal(const char* text);

// The engine's held text: the bytes of the file loaded last (empty after a failed load).
const std::string& configfile_held_text();

// Drops the held text, as at program start.
void configfile_reset();
