// SPDX-License-Identifier: GPL-2.0-or-later
// Where a read or write of a settings or state file lands. A settings file may be a symbolic
// link (a user who keeps config.ini with other dotfiles), possibly through a chain of links
// and through folders that are links themselves. velmora follows such a path only when every
// link on the way, the file's and each folder's, belongs to the user running velmora, and the
// file behind them belongs to that user too: a
// link planted by someone else must not make velmora (perhaps running as root) read a file of
// its choosing into the log, or overwrite one. Root's links and files count as the user's:
// root owns the system's own links, and a run as root is root. A write goes to the file at the end
// of the path and never replaces a link on the way. POSIX only: on Windows files are used where
// they are.
#pragma once

#include <string>

struct WriteTarget {
    std::string path;       // the file itself: the path, or where its links lead
    bool exists = false;    // false: a new file is created at path
    bool via_link = false;  // a link was followed: the file must be the user's
};

enum class TargetCheck {
    Usable,
    NotRegular,     // a directory, FIFO, device or socket at the end of the path
    ForeignLink,    // a link on the way belongs to another user
    ForeignTarget,  // the file behind the links belongs to another user
    NoStatus,       // errno says why (ELOOP for a chain that never ends, ENOENT for a folder
                    // that is missing)
};

// Follows the path one name at a time, each read with lstat, and checks the owners against
// the effective user id.
TargetCheck find_write_target(const std::string& path, WriteTarget& target);

// The reason a ForeignLink or ForeignTarget gives, for logs and messages ("a link that belongs
// to another user", "a link to a file of another user").
const char* link_refusal_text(TargetCheck check);

// Whether a link, or a file reached through links, belongs to the running user (or root).
bool trusted_owner(unsigned uid);
