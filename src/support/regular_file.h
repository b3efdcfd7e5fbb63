// Reading a settings or state file whole, but only when it is a regular file. A FIFO, device,
// socket or directory at the path (also as the file a link leads to) is never opened for
// reading: a FIFO would block the start until someone writes to it, a device could answer
// forever.
#pragma once

#include <string>

enum class FileRead {
    Read,        // text holds every byte of the file (possibly none)
    Missing,     // the path has no status: no such file, or a folder on the way is missing
    NotRegular,  // a directory, FIFO, device or socket
    CannotOpen,  // a regular file that may not be opened for reading
    NoMemory,    // the file is larger than the memory that can be had for it
    ReadError,   // the bytes could not all be read
};

// Replaces text with the file's bytes on Read and empties it otherwise; errno says why a
// Missing, CannotOpen or ReadError happened.
FileRead read_regular_file(const std::string& path, std::string& text);
