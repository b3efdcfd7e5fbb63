// One copy of velmora per board. Two copies would interleave their SMBus transactions and PLL
// writes on the same chips, so every run that touches the board first takes a lock file, and
// takes it before its first port access and before the simulated board's state is loaded.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kLockFileName = "velmora.lock";

struct RunLock {
    enum class State {
        Taken,  // this run holds the lock until it ends
        Busy,   // another copy holds it: this run must end without touching anything
        None,   // no lock could be had anywhere: the run goes on, unguarded
    };
    State state = State::None;
    std::string path;                    // the lock file taken or found busy
    std::vector<std::string> log_lines;  // what the log says after the banner
};

// The lock of a run on real ports: velmora.lock in the machine's lock folder, one copy for the
// whole machine. Where that folder is missing or not writable, velmora.lock in the user's own
// folder, one copy per user, and a log line says so. A lock another copy holds ends the search.
RunLock lock_real_board();

// The lock of a run on the simulated board: "<state file>.lock" beside the state file. The
// state file is the simulated machine, so runs in other folders do not exclude each other.
RunLock lock_simulated_board(const std::string& state_file);
