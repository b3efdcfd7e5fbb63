// Replacing a whole file so that it is never lost: the new bytes go to a temporary file beside
// it ("<name>.velmora-new"), which is flushed to disk and only then renamed over the original.
// A failure leaves the original as it was and removes the temporary file.
#pragma once

#include <string>

enum class AtomicWrite {
    Written,
    CannotOpen,  // the file may not be written, or no temporary file can be created
    WriteError,  // the bytes could not all be written and flushed, or the rename failed
};

// Writes through a symbolic link to the file it names; keeps an existing file's permissions.
AtomicWrite write_file_atomically(const std::string& path, const std::string& bytes);
