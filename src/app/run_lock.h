// SPDX-License-Identifier: GPL-2.0-or-later
// One copy of velmora per board. Two copies would interleave their SMBus transactions and PLL
// writes on the same chips, so every run that touches the board first takes a lock file, and
// takes it before its first port access and before the simulated board's state is loaded. A
// lock that cannot be taken, for whatever reason, keeps the run from starting.
#pragma once

#include <string>

inline constexpr const char* kLockFileName = "velmora.lock";

struct RunLock {
    enum class State {
        Taken,   // this run holds the lock until it ends
        Busy,    // another copy holds it: this run must end without touching anything
        Failed,  // the lock could not be had: the run must not start either
    };
    State state = State::Failed;
    std::string path;     // the lock file taken, found busy or failed on
    std::string refusal;  // Busy, Failed: why the run does not start, for standard error and
                          // a box ("another copy holds ... (process 812 of user ann)")
};

// This copy as its lock file names it: "<process id> <user>".
std::string lock_holder_note();

// The lock of a run on real ports: velmora.lock in the machine's lock folder, one copy for the
// whole machine, in a folder no ordinary user can write. Made by a run as root with mode 0600,
// so that no ordinary user can hold it either; an administrator may open it to a group whose
// members run velmora with the port capability.
RunLock lock_real_board();

// The lock of a run on the simulated board: "<state file>.lock" beside the state file. The
// state file is the simulated machine, so runs in other folders do not exclude each other.
RunLock lock_simulated_board(const std::string& state_file);
