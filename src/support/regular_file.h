// SPDX-License-Identifier: GPL-2.0-or-later
// Reading a settings or state file whole, but only when it is a regular file. A FIFO, device,
// socket or directory at the path (also as the file a link leads to) is never opened for
// reading: a FIFO would block the start until someone writes to it, a device could answer
// forever. Links are followed by the rule of link_target.h: a file of another user reached
// through a link, or a link of another user, is never read.
#pragma once

#include <string>

enum class FileRead {
    Read,        // text holds every byte of the file (possibly none)
    Missing,     // the path has no status: no such file, or a folder on the way is missing
    NotRegular,  // a directory, FIFO, device or socket
    Refused,     // a link of another user on the way, or another user's file behind a link
    CannotOpen,  // a regular file that may not be opened for reading
    NoMemory,    // the file is larger than the memory that can be had for it
    ReadError,   // the bytes could not all be read
};

// Replaces text with the file's bytes on Read and empties it otherwise; errno says why a
// Missing, CannotOpen or ReadError happened, `why` (when given) what a Refused path is.
FileRead read_regular_file(const std::string& path, std::string& text, std::string* why = nullptr);
