// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/run_lock.h"

#include "diag/debuglog.h"
#include "platform/platform.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// "812 ann" as "process 812 of user ann"; a note that is not one is shown as it is, cut short.
// The note is the holder's text, written by whoever holds the lock: its control bytes are shown
// as "\xNN", never sent to the terminal or the box as they are.
std::string shown_holder(const std::string& note) {
    const size_t blank = note.find(' ');
    if (note.empty())
        return "process unknown";
    bool digits = blank != std::string::npos && blank > 0;
    for (size_t i = 0; digits && i < blank; ++i)
        digits = note[i] >= '0' && note[i] <= '9';
    if (!digits)
        return "\"" + log_excerpt(note, 40) + "\"";
    return "process " + note.substr(0, blank) + " of user " +
           log_excerpt(note.substr(blank + 1), 32);
}

RunLock take(const std::string& path, unsigned new_file_mode, const std::string& how_to) {
    RunLock lock;
    lock.path = path;
    std::string note;
    switch (current_platform().lock_file(path, new_file_mode, lock_holder_note(), note)) {
        case FileLock::Taken:
            lock.state = RunLock::State::Taken;
            break;
        case FileLock::Busy:
            lock.state = RunLock::State::Busy;
            lock.refusal = "another copy of velmora holds the lock " + path + " (" +
                           shown_holder(note) + "); this one ends without touching the board";
            break;
        case FileLock::Failed:
            lock.state = RunLock::State::Failed;
            lock.refusal = "the lock " + path + " cannot be taken: " + note +
                           "; velmora does not start without it" + how_to;
            break;
    }
    return lock;
}

}  // namespace

std::string lock_holder_note() {
#ifdef _WIN32
    return "?";
#else
    const uid_t uid = ::geteuid();
    const struct passwd* user = ::getpwuid(uid);
    return std::to_string(::getpid()) + " " + (user ? user->pw_name : std::to_string(uid));
#endif
}

RunLock lock_real_board() {
    std::string why;
    const std::string dir = current_platform().machine_lock_dir(why);
    // A run without root, on the port capability alone, takes the lock only where an
    // administrator opened the file to its group.
#ifdef _WIN32
    const bool as_root = true;
#else
    const bool as_root = ::geteuid() == 0;
#endif
    const std::string how_to = as_root ? ""
                                       : " (an administrator lets a group of users take it: see "
                                         "README, \"Real hardware without root\")";
    if (dir.empty()) {
        RunLock lock;
        lock.path = "/run/velmora/" + std::string(kLockFileName);
        lock.refusal = "the lock folder /run/velmora cannot be used: " + why +
                       "; velmora does not start without it (run it once as root, or see "
                       "README, \"Real hardware without root\")";
        return lock;
    }
    const std::string path =
        dir + (dir.back() == '/' || dir.back() == '\\' ? "" : "/") + kLockFileName;
    return take(path, 0600, how_to);
}

RunLock lock_simulated_board(const std::string& state_file) {
    return take(state_file + ".lock", 0644, "");
}
