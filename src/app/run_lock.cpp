#include "app/run_lock.h"

#include "diag/debuglog.h"
#include "platform/platform.h"

namespace {

// One attempt on one file; a failure keeps its reason for the log.
RunLock try_lock(const std::string& path, std::string& reason) {
    Platform& os = current_platform();
    RunLock lock;
    lock.path = path;
    switch (os.lock_file(path)) {
        case FileLock::Taken:
            lock.state = RunLock::State::Taken;
            break;
        case FileLock::Busy:
            lock.state = RunLock::State::Busy;
            break;
        case FileLock::Failed:
            reason = os.error_message(os.last_error());
            break;
    }
    return lock;
}

std::string in_folder(const std::string& dir) {
    return dir + (dir.back() == '/' || dir.back() == '\\' ? "" : "/") + kLockFileName;
}

void note_unguarded(RunLock& lock, const std::string& reason) {
    lock.log_lines.push_back(
        debug_format("VELMORA: No lock in %s (%s): a second copy would not be refused\n",
                     {LogArg(lock.path), LogArg(reason)}));
}

}  // namespace

RunLock lock_real_board() {
    Platform& os = current_platform();
    const std::string machine = os.machine_lock_dir();
    std::string reason = "no such folder";
    if (!machine.empty()) {
        RunLock lock = try_lock(in_folder(machine), reason);
        if (lock.state != RunLock::State::None)
            return lock;
    }
    const std::string user = os.user_lock_dir();
    if (user.empty()) {
        RunLock lock;
        lock.path = machine.empty() ? std::string(kLockFileName) : in_folder(machine);
        note_unguarded(lock, reason);
        return lock;
    }
    std::string user_reason;
    RunLock lock = try_lock(in_folder(user), user_reason);
    if (lock.state == RunLock::State::None) {
        note_unguarded(lock, user_reason);
    } else if (lock.state == RunLock::State::Taken) {
        lock.log_lines.push_back(debug_format(
            "VELMORA: Lock folder %s not usable (%s): lock %s holds for this user only\n",
            {LogArg(machine.empty() ? std::string("(none)") : machine), LogArg(reason),
             LogArg(lock.path)}));
    }
    return lock;
}

RunLock lock_simulated_board(const std::string& state_file) {
    std::string reason;
    RunLock lock = try_lock(state_file + ".lock", reason);
    if (lock.state == RunLock::State::None)
        note_unguarded(lock, reason);
    return lock;
}
