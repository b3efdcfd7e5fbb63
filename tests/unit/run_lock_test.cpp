// SPDX-License-Identifier: GPL-2.0-or-later
// Which lock a run takes, and what a run that cannot have it is told.
#include "app/run_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"
#include "platform/linux_platform.h"

namespace {

using State = RunLock::State;
constexpr const char* kMachine = "run/velmora/velmora.lock";

TEST(RunLock, RealPortsTakeTheMachinesLockOrDoNotStartAndSayWhy) {
    const struct {
        std::string folder;
        FileLock answer;
        std::string note;
        State state;
        std::string refusal;  // the start of it
    } cases[] = {
        {"run/velmora", FileLock::Taken, "", State::Taken, ""},
        {"run/velmora", FileLock::Busy, "812 ann", State::Busy,
         "another copy of velmora holds the lock run/velmora/velmora.lock (process 812 of user "
         "ann); this one ends without touching the board"},
        {"run/velmora", FileLock::Busy, "", State::Busy,
         "another copy of velmora holds the lock run/velmora/velmora.lock (process unknown)"},
        {"run/velmora", FileLock::Failed, "it is a symbolic link", State::Failed,
         "the lock run/velmora/velmora.lock cannot be taken: it is a symbolic link; velmora "
         "does not start without it"},
        {"", FileLock::Taken, "", State::Failed,
         "the lock folder /run/velmora cannot be used: it does not exist; velmora does not "
         "start without it (run it once as root, or see README, \"Real hardware without "
         "root\")"},
    };
    for (const auto& c : cases) {
        FakePlatform os;
        ScopedPlatform installed(os);
        os.machine_locks = c.folder;
        os.lock_answers = {{kMachine, c.answer, c.note}};
        const RunLock lock = lock_real_board();
        EXPECT_EQ(lock.state, c.state) << c.note;
        EXPECT_EQ(lock.refusal.substr(0, c.refusal.size()), c.refusal);
        EXPECT_EQ(os.locks_asked.size(), c.folder.empty() ? 0u : 1u);
    }
}

TEST(LinuxLockFile, ASecondHolderIsTurnedAwayAndNamedAndNoOtherKindOfFileIsLocked) {
    TempWorkDir dir;
    LinuxPlatform os;
    std::string note;
    EXPECT_EQ(os.lock_file("a.lock", 0600, "812 ann", note), FileLock::Taken);
    struct stat st {};
    ASSERT_EQ(stat("a.lock", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Another open file stands for another process.
    EXPECT_EQ(os.lock_file("a.lock", 0600, "900 bob", note), FileLock::Busy);
    EXPECT_EQ(note, "812 ann");
    EXPECT_EQ(os.lock_file("missing/a.lock", 0644, "1 x", note), FileLock::Failed);
    std::filesystem::create_symlink("b.lock", "link.lock");
    EXPECT_EQ(os.lock_file("link.lock", 0644, "1 x", note), FileLock::Failed);
    EXPECT_EQ(note, "it is a symbolic link");
    EXPECT_FALSE(file_exists("b.lock"));
    ASSERT_EQ(mkfifo("fifo.lock", 0600), 0);
    EXPECT_EQ(os.lock_file("fifo.lock", 0644, "1 x", note), FileLock::Failed);
    EXPECT_EQ(note, "it is not a regular file");
    ASSERT_EQ(mkdir("dir.lock", 0755), 0);
    EXPECT_EQ(os.lock_file("dir.lock", 0644, "1 x", note), FileLock::Failed);
}

}  // namespace
