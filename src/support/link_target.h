// Where a write to a settings file lands. A settings file may be a symbolic link (a user who
// keeps config.ini with other dotfiles), possibly through a chain of links. The write goes to
// the file at the end of the chain and never replaces a link on the way, and it goes through
// only when every link and that file belong to the user running velmora: a link planted by
// someone else must not make velmora (perhaps running as root) overwrite a file of its
// choosing. POSIX only: Windows settings files are written where they are.
#pragma once

#include <string>

struct WriteTarget {
    std::string path;       // the file to replace: the path itself, or the end of its chain
    bool exists = false;    // false: a new file is created at path
    bool via_link = false;  // the settings path is a link: the file must be the user's
};

enum class TargetCheck {
    Usable,
    NotRegular,     // a directory, FIFO, device or socket at the end of the chain
    ForeignLink,    // a link of the chain belongs to another user
    ForeignTarget,  // the file behind the links belongs to another user
    NoStatus,       // errno says why (ELOOP for a chain that never ends)
};

// Follows the path's links one by one, each read with lstat, and checks the owners against
// the effective user id.
TargetCheck find_write_target(const std::string& path, WriteTarget& target);
