// SPDX-License-Identifier: GPL-2.0-or-later
// The writer and reader of settings and state files against real files: links, owners, the
// in-place fallback and paths that are no regular files. Cases with files of another user
// need root; the unprivileged re-run covers the read-only folder.
#include "support/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "helpers/temp_dir.h"
#include "sim/sim_machine.h"
#include "support/regular_file.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOtherUser = 65534;

struct stat status_of(const char* path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path, &st), 0) << path;
    return st;
}

TEST(AtomicFile, LinksAreWrittenThroughOnlyWhenEveryLinkAndTheFileAreTheUsers) {
    const uid_t me = ::geteuid();
    struct Case {
        const char* what;
        uid_t link, middle, file;  // owners
        bool middle_link;
        const char* refusal;  // nullptr: written through
    };
    const Case cases[] = {
        {"my link to my file", me, me, me, false, nullptr},
        {"a chain of mine", me, me, me, true, nullptr},
        {"another's link", kOtherUser, me, me, false, "a link that belongs to another user"},
        {"another's link within my chain", me, kOtherUser, me, true,
         "a link that belongs to another user"},
        {"my link to another's file", me, me, kOtherUser, false,
         "a link to a file of another user"},
    };
    for (const Case& c : cases) {
        // Only root can hand a file to another user (and the unprivileged run may itself be
        // that other user).
        if (me != 0 && (c.link == kOtherUser || c.middle == kOtherUser || c.file == kOtherUser))
            continue;
        TempWorkDir dir;
        fs::create_directory("real");
        write_file("real/config.ini", "old");
        ASSERT_EQ(::chown("real/config.ini", c.file, c.file == me ? gid_t(-1) : c.file), 0);
        if (c.middle_link) {
            fs::create_symlink("real/config.ini", "middle.ini");
            ASSERT_EQ(::lchown("middle.ini", c.middle, gid_t(-1)), 0);
        }
        fs::create_symlink(c.middle_link ? "middle.ini" : "real/config.ini", "config.ini");
        ASSERT_EQ(::lchown("config.ini", c.link, gid_t(-1)), 0);

        std::string why;
        const AtomicWrite result = write_file_atomically("config.ini", "new", &why);
        EXPECT_EQ(result, c.refusal ? AtomicWrite::Refused : AtomicWrite::Written) << c.what;
        EXPECT_EQ(why, c.refusal ? c.refusal : "") << c.what;
        EXPECT_EQ(read_file("real/config.ini"), c.refusal ? "old" : "new") << c.what;
        EXPECT_TRUE(fs::is_symlink("config.ini")) << c.what;
        EXPECT_EQ(fs::is_symlink("middle.ini"), c.middle_link) << c.what;
        EXPECT_EQ(status_of("real/config.ini").st_uid, c.file) << c.what;
    }
}

TEST(AtomicFile, RootSavingAUsersFileLeavesItTheUsers) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    TempWorkDir dir;
    write_file("config.ini", "old");
    ASSERT_EQ(::chown("config.ini", kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod("config.ini", 0640), 0);
    EXPECT_EQ(write_file_atomically("config.ini", "new"), AtomicWrite::Written);
    const struct stat st = status_of("config.ini");
    EXPECT_EQ(st.st_uid, kOtherUser);
    EXPECT_EQ(st.st_gid, kOtherUser);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(read_file("config.ini"), "new");
}

TEST(AtomicFile, WithoutANewFileBesideItTheFileIsRewrittenInPlace) {
    TempWorkDir dir;
    // The new file's name, 19 bytes longer, is too long for the folder.
    const std::string name = std::string(240, 'c') + ".ini";
    for (const std::string& bytes : {std::string(300, 'L'), std::string("short")}) {
        write_file(name, std::string(100, 'o'));
        const ino_t inode = status_of(name.c_str()).st_ino;
        std::string why;
        EXPECT_EQ(write_file_atomically(name, bytes, &why), AtomicWrite::WrittenInPlace);
        EXPECT_EQ(why, "no new file can be made beside it: File name too long");
        EXPECT_EQ(read_file(name), bytes);
        EXPECT_EQ(status_of(name.c_str()).st_ino, inode);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);

    if (::geteuid() == 0)
        GTEST_SKIP() << "a read-only folder does not stop root";
    write_file("config.ini", "old");
    fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
    std::string why;
    EXPECT_EQ(write_file_atomically("config.ini", "new", &why), AtomicWrite::WrittenInPlace);
    fs::permissions(".", fs::perms::owner_all);
    EXPECT_EQ(why, "its folder is not writable");
    EXPECT_EQ(read_file("config.ini"), "new");
}

TEST(AtomicFile, OnlyRegularFilesAreReadOrWrittenAndNothingWaitsOnAFifo) {
    TempWorkDir dir;
    ASSERT_EQ(::mkfifo("fifo.ini", 0644), 0);
    fs::create_directory("folder.ini");
    fs::create_symlink("/dev/null", "device.ini");
    for (const char* path : {"fifo.ini", "folder.ini", "device.ini"}) {
        std::string text = "stale", why;
        EXPECT_EQ(read_regular_file(path, text), FileRead::NotRegular) << path;
        EXPECT_EQ(text, "") << path;
        EXPECT_EQ(write_file_atomically(path, "new", &why), AtomicWrite::Refused) << path;
        EXPECT_EQ(why, "not a regular file") << path;
        SimLoadReport report;
        EXPECT_EQ(sim_state_profile(path, &report), -1) << path;
        ASSERT_EQ(report.problems.size(), 1u) << path;
        EXPECT_EQ(report.problems[0], std::string(path) + " is not a regular file, not read");
    }
    EXPECT_TRUE(fs::is_fifo("fifo.ini"));
    EXPECT_TRUE(fs::is_empty("folder.ini"));
    EXPECT_TRUE(fs::is_symlink("device.ini"));
}

}  // namespace
