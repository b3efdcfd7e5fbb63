// SPDX-License-Identifier: GPL-2.0-or-later
// Replacing a whole settings or state file so that it is never lost: the new bytes go to a new
// file beside it, created under a name of its own that nothing else can have
// ("<name>.velmora-new-XXXXXX"), flushed to disk and only then renamed over the original. A
// failure leaves the original as it was and removes the new file.
#pragma once

#include <string>

enum class AtomicWrite {
    Written,         // replaced by the new file
    WrittenInPlace,  // no new file could be used: the file itself was rewritten and flushed
    Refused,         // not a regular file, or a link (or the file behind it) of another user
    CannotOpen,      // the file may not be written, and no new file can be created
    WriteError,      // the bytes could not all be written and flushed, or the rename failed
};

// Only a regular file is replaced. Through symbolic links the file at the end of the chain is
// replaced and the links stay, but only when every link and that file belong to the user
// running velmora. An existing file keeps its permissions, owner and group. Where no new file
// can be created beside it (its folder is not writable) or its owner could not be given to
// the new file, the existing file is rewritten in place. `why`, when given, receives a short
// reason for every result but Written ("not a regular file", the system's text for an error,
// "its folder is not writable").
AtomicWrite write_file_atomically(const std::string& path, const std::string& bytes,
                                  std::string* why = nullptr);
