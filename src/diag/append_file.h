// SPDX-License-Identifier: GPL-2.0-or-later
// Files that only grow: the debug log and the port trace. velmora may run as root in a folder
// of another user, so such a file is opened without following a link and without waiting on
// a FIFO, and kept only when it is a regular file with one name that belongs to the running
// user or to the owner of its folder. Anything else (a link planted at the name, a FIFO, a
// directory, a hard link to some other file, a file of a third user) is refused: not a byte
// goes into it.
#pragma once

#include <cstdint>
#include <string>

enum class AppendOpen {
    Opened,      // the descriptor is open for appending
    Refused,     // the path is not a file velmora may append to; `why` says what it is
    CannotOpen,  // the file could not be opened or made (a folder not writable, no space)
};

// Opens `path` for appending, made with mode 0644 (less by the umask) when missing. On Opened
// `fd` holds a descriptor the caller closes; otherwise `fd` is -1 and `why` says what the path
// is ("a symbolic link", "a FIFO", "not writable (Permission denied)").
AppendOpen open_for_append(const std::string& path, int& fd, std::string& why);

// Writes the whole text to a descriptor opened by open_for_append, resuming after a signal; false
// when the system took less (a full disk).
bool write_whole(int fd, const std::string& text);

// The size of the file behind a descriptor; 0 when it cannot be told.
uint64_t file_size(int fd);

// The size at which a log, trace or CSV log is put aside, at start and while running.
inline constexpr uint64_t kRotateAtBytes = 16u * 1024u * 1024u;

// At start: when `path` is such a file and holds more than `limit` bytes, it is renamed to
// "<path>.old", replacing an older one, so that the next line starts a new file. True when it
// was renamed.
bool rotate_when_large(const std::string& path, uint64_t limit = kRotateAtBytes);
