// Which lock a run takes, where it falls back to, and what the log says about it.
#include "app/run_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"
#include "platform/linux_platform.h"

namespace {

using State = RunLock::State;
constexpr const char* kMachine = "run/lock/velmora.lock";
constexpr const char* kUser = "run/user/velmora.lock";

TEST(RunLock, RealPortsLockTheMachineAndFallBackToTheUserOnlyWhereTheFolderFails) {
    const struct {
        FileLock machine, user;
        State state;
        std::vector<std::string> asked;
        std::string log;
    } cases[] = {
        {FileLock::Taken, FileLock::Taken, State::Taken, {kMachine}, ""},
        {FileLock::Busy, FileLock::Taken, State::Busy, {kMachine}, ""},
        {FileLock::Failed,
         FileLock::Taken,
         State::Taken,
         {kMachine, kUser},
         "VELMORA: Lock folder run/lock not usable (Permission denied): lock "
         "run/user/velmora.lock holds for this user only\n"},
        {FileLock::Failed, FileLock::Busy, State::Busy, {kMachine, kUser}, ""},
        {FileLock::Failed,
         FileLock::Failed,
         State::None,
         {kMachine, kUser},
         "VELMORA: No lock in run/user/velmora.lock (Permission denied): a second copy would "
         "not be refused\n"},
    };
    for (const auto& c : cases) {
        FakePlatform os;
        ScopedPlatform installed(os);
        os.messages = {{13, "Permission denied"}};
        os.lock_answers = {{kMachine, c.machine}, {kUser, c.user}};
        const RunLock lock = lock_real_board();
        EXPECT_EQ(lock.state, c.state) << c.asked.size();
        EXPECT_EQ(os.locks_asked, c.asked);
        std::string log;
        for (const std::string& line : lock.log_lines)
            log += line;
        EXPECT_EQ(log, c.log);
    }
}

TEST(LinuxLockFile, ASecondHolderIsTurnedAwayAndNoLinkOrOtherKindOfFileIsLocked) {
    TempWorkDir dir;
    LinuxPlatform os;
    EXPECT_EQ(os.lock_file("a.lock"), FileLock::Taken);
    EXPECT_EQ(os.lock_file("a.lock"), FileLock::Busy);  // another open file, as another process
    EXPECT_EQ(os.lock_file("missing/a.lock"), FileLock::Failed);
    std::filesystem::create_symlink("b.lock", "link.lock");
    EXPECT_EQ(os.lock_file("link.lock"), FileLock::Failed);
    EXPECT_FALSE(file_exists("b.lock"));
    ASSERT_EQ(mkfifo("fifo.lock", 0600), 0);
    EXPECT_EQ(os.lock_file("fifo.lock"), FileLock::Failed);
}

}  // namespace
