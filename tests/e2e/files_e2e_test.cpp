// SPDX-License-Identifier: GPL-2.0-or-later
// The program in a folder that may belong to someone else, as root or as another user: what it
// appends to, reads, locks and leaves behind, and how it ends when it could not keep the board.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/program.h"
#include "helpers/temp_dir.h"

namespace {

constexpr uid_t kOther = 65534;  // nobody: the owner of the folder, or the one who plants links
constexpr uid_t kThird = 65533;  // a user who owns neither the folder nor the program

bool as_root() {
    return geteuid() == 0;
}

const std::vector<std::string> kOffscreen = {"QT_QPA_PLATFORM=offscreen"};
const std::string kVictim = "root's own\n";

// config.ini of board 7 with sensor ticks every second; the sections that follow are a test's.
const std::string kTicking = "\r\n[Main]\r\nBoard=7\r\n\r\n[Sensor]\r\nUpdate=1\r\n\r\n";

// Runs velmora offscreen on simulated board 7 until its log holds `text`, lets it run `more`
// longer, and closes it with SIGTERM, which it ends with 0.
void run_on_board_7(const std::string& text, std::chrono::milliseconds more = {}) {
    Child velmora({VELMORA_BINARY, "--sim=7", "--unattended"}, environment_with(kOffscreen));
    ASSERT_TRUE(wait_for_text("velmora.deb", text)) << read_file("velmora.deb");
    std::this_thread::sleep_for(more);
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
}

// A file only its owner may read, standing for root's shell start-up file.
void make_victim() {
    write_file("victim.txt", kVictim);
    chmod("victim.txt", 0600);
}

// A link that `owner` planted.
void plant_link(const std::string& to, const std::string& name, uid_t owner) {
    ASSERT_EQ(symlink(to.c_str(), name.c_str()), 0);
    if (as_root()) {
        ASSERT_EQ(lchown(name.c_str(), owner, owner), 0);
    }
}

TEST(Files, TheLogAndTheTraceAreNeverALinkAFifoOrAnotherUsersFile) {
    enum Kind { Link, Fifo, Folder, HardLink, ThirdUsers, FolderOwners };
    const struct {
        const char* name;
        Kind kind;
        const char* what;  // what the program says it is; empty: used
    } cases[] = {
        {"velmora.deb", Link, "a symbolic link"},
        {"velmora.deb", Fifo, "a FIFO"},
        {"velmora.deb", Folder, "a directory"},
        {"velmora.deb", HardLink, "a hard link to another file"},
        {"velmora.deb", ThirdUsers, "a file of another user"},
        {"velmora.deb", FolderOwners, ""},
        {"velmora-ports.trace", Link, "a symbolic link"},
        {"velmora-ports.trace", Fifo, "a FIFO"},
        {"velmora-ports.trace", ThirdUsers, "a file of another user"},
    };
    for (const auto& c : cases) {
        const bool needs_root =
            c.kind == HardLink || c.kind == ThirdUsers || c.kind == FolderOwners;
        if (needs_root && !as_root())
            continue;
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.kind));
        TempWorkDir dir;
        if (as_root()) {
            ASSERT_EQ(chown(".", kOther, kOther), 0);
        }
        make_victim();
        switch (c.kind) {
            case Link:
                plant_link("victim.txt", c.name, kOther);
                break;
            case Fifo:
                ASSERT_EQ(mkfifo(c.name, 0666), 0);
                break;
            case Folder:
                ASSERT_EQ(mkdir(c.name, 0755), 0);
                break;
            case HardLink:
                ASSERT_EQ(link("victim.txt", c.name), 0);
                break;
            case ThirdUsers:
            case FolderOwners:
                write_file(c.name, "");
                ASSERT_EQ(chown(c.name, c.kind == ThirdUsers ? kThird : kOther, kOther), 0);
                break;
        }
        Child velmora({VELMORA_BINARY, "--unattended", "--trace-ports", "-f", "170"},
                      environment_with(kOffscreen));
        const bool trace = std::string(c.name) == "velmora-ports.trace";
        EXPECT_EQ(velmora.wait(20), *c.what && trace ? 2 : 0) << read_file("stderr.txt");
        EXPECT_EQ(read_file("victim.txt"), kVictim);
        const std::string err = read_file("stderr.txt");
        if (!*c.what) {
            EXPECT_NE(read_file(c.name).find("NFORCE2: set_fsb(): Setting FSB to 170 done"),
                      std::string::npos);
        } else if (trace) {
            EXPECT_EQ(err, std::string("velmora: the port trace velmora-ports.trace is ") + c.what +
                               "; nothing was done\n");
            EXPECT_FALSE(file_exists("velmora-sim.ini"));  // the board was not touched
        } else {
            // Said once, however many lines were lost.
            EXPECT_EQ(count_of(err, std::string("velmora: velmora.deb is ") + c.what +
                                        ", the run goes on without a log\n"),
                      1u)
                << err;
            EXPECT_NE(read_file("velmora-ports.trace").find("out32 0x0cf8"), std::string::npos);
        }
    }
}

// Root starts in a folder of another user who planted links to root's own files.
TEST(Files, AsRootNothingIsReadOrReplacedThroughAnotherUsersLink) {
    if (!as_root())
        GTEST_SKIP() << "needs root";
    const std::string secret = "TOPSECRET-TOKEN-12345\r\n[Main]\r\nBoard=3\r\n";
    const struct {
        std::function<void()> plant;
        std::string logged;  // a line the log must hold
        int code;
    } cases[] = {
        // Every file the program reads, each a link of the other user to the secret.
        {[] {
             for (const char* name :
                  {"config.ini", "presets.ini", "autofan.ini", "sensor.ini", "velmora-sim.ini"})
                 plant_link("secret.txt", name, kOther);
         },
         "CONFIGFILE: config.ini is a link that belongs to another user, not read\n", 4},
        // Root's own link to a file of the other user.
        {[] {
             write_file("theirs.ini", "TOPSECRET-TOKEN-12345 x\r\n");
             chown("theirs.ini", kOther, kOther);
             plant_link("theirs.ini", "presets.ini", 0);
         },
         "PRESETS: Can't open presets.ini for read\n", 0},
        // Root's own link through a folder link of the other user into root's private folder.
        {[] {
             mkdir("private", 0700);
             write_file("private/config.ini", "TOPSECRET-TOKEN-12345\r\n");
             plant_link("private", "d", kOther);
             plant_link("d/config.ini", "config.ini", 0);
         },
         "CONFIGFILE: config.ini is a link that belongs to another user, not read\n", 0},
    };
    for (const auto& c : cases) {
        TempWorkDir dir;
        ASSERT_EQ(chown(".", kOther, kOther), 0);
        write_file("secret.txt", secret);
        chmod("secret.txt", 0600);
        c.plant();
        start_and_close(30, c.code);
        const std::string log = read_file("velmora.deb");
        EXPECT_EQ(log.find("TOPSECRET"), std::string::npos) << log;
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_EQ(read_file("secret.txt"), secret);
        if (file_exists("private/config.ini")) {
            EXPECT_EQ(read_file("private/config.ini"), "TOPSECRET-TOKEN-12345\r\n");
        }
    }
}

TEST(Files, APresetsFileFullOfWrongWordsLogsTwentyOfThemShortAndEscaped) {
    TempWorkDir dir;
    std::string text = "touch\x1b[31m${IFS}x " + std::string(70, 'w') + " ";
    for (int i = 0; i < 5000; ++i)
        text += "bad" + std::to_string(i) + "\r\n";
    write_file("presets.ini", text);
    start_and_close();
    const std::string log = read_file("velmora.deb");
    EXPECT_EQ(count_of(log, " wrong syntax\n"), 20u);
    EXPECT_NE(log.find("PRESETS: presets.ini line touch\\x1b[31m${IFS}x wrong syntax\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("PRESETS: 4982 more lines of presets.ini with wrong syntax not listed\n"),
              std::string::npos);
}

TEST(Files, ALockThatCannotBeTakenKeepsTheRunFromStartingAndSaysWhy) {
    const struct {
        std::function<void()> make;
        std::string why;
        uid_t run_as;
    } cases[] = {
        {[] { plant_link("elsewhere", "velmora-sim.ini.lock", kOther); }, "it is a symbolic link",
         0},
        {[] { mkfifo("velmora-sim.ini.lock", 0666); }, "it is not a regular file", 0},
        {[] { mkdir("velmora-sim.ini.lock", 0755); }, "Is a directory", 0},
        // Another user's file that this one may not open.
        {[] {
             write_file("velmora-sim.ini.lock", "");
             chmod("velmora-sim.ini.lock", 0600);
             chmod(".", 0777);
         },
         "Permission denied", kOther},
    };
    for (const auto& c : cases) {
        if (c.run_as != 0 && !as_root())
            continue;
        TempWorkDir dir;
        c.make();
        std::string program = VELMORA_BINARY;
        if (c.run_as != 0) {
            // The build may lie in a folder only root can enter: the other user runs a copy.
            std::filesystem::copy_file(program, "velmora-copy");
            program = (dir.path() / "velmora-copy").string();
        }
        Child velmora({program, "--unattended", "-f", "170"}, environment_with(kOffscreen),
                      c.run_as);
        EXPECT_EQ(velmora.wait(10), 1);
        EXPECT_EQ(read_file("stderr.txt"),
                  "velmora: the lock velmora-sim.ini.lock cannot be "
                  "taken: " +
                      c.why + "; velmora does not start without it\n");
        EXPECT_FALSE(file_exists("velmora-sim.ini"));
        EXPECT_FALSE(file_exists("elsewhere"));
    }
}

// The hardware lock is held here as another copy would hold it; the run ends before any port.
TEST(Files, AHeldHardwareLockNamesItsHolder) {
    if (!as_root())
        GTEST_SKIP() << "needs root";
    TempWorkDir dir;
    mkdir("/run/velmora", 0755);
    const int fd = open("/run/velmora/velmora.lock", O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(ftruncate(fd, 0), 0);
    ASSERT_EQ(write(fd, "4242 ann\n", 9), 9);
    Child velmora({VELMORA_BINARY, "--hardware", "-f", "170"}, environment_with(kOffscreen));
    EXPECT_EQ(velmora.wait(10), 1);
    close(fd);
    EXPECT_EQ(read_file("stderr.txt"),
              "velmora: another copy of velmora holds the lock /run/velmora/velmora.lock (process "
              "4242 of user ann); this one ends without touching the board\n");
    struct stat st {};
    ASSERT_EQ(lstat("/run/velmora", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST(Files, WhatAKilledSaveLeftIsRemovedAtStartAndNothingElse) {
    TempWorkDir dir;
    write_file("config.ini.velmora-new-Ab3xYz", std::string(1 << 20, 'x'));
    write_file("velmora-sim.ini.velmora-new-000000", "[Machine]\r\n");
    write_file("notes.velmora-new-1", "mine");
    plant_link("victim.txt", "presets.ini.velmora-new-qqqqqq", geteuid());
    if (as_root()) {
        write_file("autofan.ini.velmora-new-zzzzzz", "theirs");
        chown("autofan.ini.velmora-new-zzzzzz", kOther, kOther);
    }
    start_and_close();
    EXPECT_FALSE(file_exists("config.ini.velmora-new-Ab3xYz"));
    EXPECT_FALSE(file_exists("velmora-sim.ini.velmora-new-000000"));
    EXPECT_TRUE(file_exists("notes.velmora-new-1"));
    struct stat st {};
    EXPECT_EQ(lstat("presets.ini.velmora-new-qqqqqq", &st), 0);
    if (as_root()) {
        EXPECT_TRUE(file_exists("autofan.ini.velmora-new-zzzzzz"));
    }
}

// The new files are made even with no umask to narrow them.
TEST(Files, ALogOrTraceOver16MbIsPutAsideAtStartAndTheNewOneIsMode0644OfTheRunningUser) {
    TempWorkDir dir;
    const off_t big = 16 * 1024 * 1024 + 1;
    for (const char* name : {"velmora.deb", "velmora-ports.trace"}) {
        const int fd = open(name, O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(ftruncate(fd, big), 0);
        close(fd);
    }
    write_file("velmora.deb.old", "the older one");
    const mode_t mask = umask(0);
    Child velmora({VELMORA_BINARY, "--unattended", "--trace-ports", "-f", "170"},
                  environment_with(kOffscreen));
    umask(mask);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
    for (const std::string name : {"velmora.deb", "velmora-ports.trace"}) {
        struct stat st {};
        ASSERT_EQ(stat((name + ".old").c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_size, big) << name;
        ASSERT_EQ(stat(name.c_str(), &st), 0) << name;
        EXPECT_GT(st.st_size, 0) << name;
        EXPECT_LT(st.st_size, 1024 * 1024) << name;
        EXPECT_EQ(st.st_mode & 07777, 0644u) << name;
        EXPECT_EQ(st.st_uid, geteuid()) << name;
    }
}

// A board number that is no whole number asks the BIOS; a stored value outside its range is
// replaced as before. The log says each, once.
TEST(Files, AStoredValueThatIsNoWholeNumberOrOutOfRangeIsReplacedAndSaidInTheLog) {
    TempWorkDir dir;
    write_file("config.ini",
               "[Main]\r\nBoard=nan\r\nReset=1e300\r\n\r\n[AutoFSB]\r\nMaxTemp=90\r\n"
               "MinLoad=-3\r\n");
    start_and_close();
    const std::string log = read_file("velmora.deb");
    EXPECT_NE(log.find("VELMORA: Board=nan in [Main] of config.ini is not a whole number, not "
                       "taken\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("VELMORA: Reset=1e300 in [Main] of config.ini is not a whole number"),
              std::string::npos);
    EXPECT_NE(log.find("VELMORA: Board Epox 8RDA+ Rev. 2.x nr: 7\n"), std::string::npos);
    EXPECT_NE(read_file("config.ini").find("Board=7\r\n"), std::string::npos);
    EXPECT_EQ(count_of(log, "VELMORA: MaxTemp=90 in config.ini out of range 20 to 65, 45 taken\n"),
              1u);
    EXPECT_EQ(count_of(log, "VELMORA: MinLoad=-3 in config.ini out of range 5 to 90, 10 taken\n"),
              1u);
    EXPECT_NE(read_file("config.ini").find("MaxTemp=45\r\n"), std::string::npos);
}

// A duty in autofan.ini that is no whole number is not taken: the fan keeps full speed, and the
// log says which value was passed over. Before, "nan" or an empty value became duty 0 and the
// fan stopped while the CPU heated.
TEST(Program, ADutyThatIsNoWholeNumberLeavesTheFanAtFullSpeed) {
    for (const std::string bad : {"nan", "abc", "", "0x80", "1e400", "12abc"}) {
        SCOPED_TRACE(bad);
        TempWorkDir dir;
        write_file("config.ini", kTicking + "[AutoFAN]\r\nEnable=1\r\n");
        write_file("autofan.ini",
                   "\r\n[ID1.0]\r\nenabled=1\r\nduty_min=" + bad + "\r\nduty_max=" + bad + "\r\n");
        ASSERT_NO_FATAL_FAILURE(run_on_board_7("AUTOFAN: New speed for fan control 1 is "));
        const std::string log = read_file("velmora.deb");
        EXPECT_NE(log.find("AUTOFAN: duty_min=" + bad +
                           " in [ID1.0] of autofan.ini is not a whole number, value kept\n"),
                  std::string::npos)
            << bad;
        EXPECT_NE(log.find("AUTOFAN: New speed for fan control 1 is 255\n"), std::string::npos)
            << bad;
        EXPECT_EQ(count_of(log, "AUTOFAN: New speed for fan control 1 is "),
                  count_of(log, "AUTOFAN: New speed for fan control 1 is 255\n"))
            << bad;
    }
}

// Files saved by an editor that starts them with a UTF-8 byte-order mark are read from their
// first line: the board of config.ini, the first preset, the first fan entry. Before, each of
// these first lines was lost, and config.ini was saved with the mark.
TEST(Program, AByteOrderMarkAtTheStartOfASettingsFileIsPassedOver) {
    TempWorkDir dir;
    const std::string bom = "\xEF\xBB\xBF";
    write_file("config.ini", bom + "[Main]\r\nBoard=4\r\n\r\n[AutoFAN]\r\nEnable=1\r\n");
    write_file("presets.ini", bom + "166:1.650:2.60\n200:1.700:2.70\n");
    write_file("autofan.ini", bom + "[ID1.0]\r\nenabled=1\r\nduty_min=90\r\nduty_max=90\r\n");
    Child velmora({VELMORA_BINARY, "--sim=4", "--unattended"}, environment_with(kOffscreen));
    ASSERT_TRUE(wait_for_text("velmora.deb", "AUTOFAN: New speed for fan control 1 is 90\n"))
        << read_file("velmora.deb");
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
    const std::string log = read_file("velmora.deb");
    EXPECT_NE(log.find("VELMORA: Board DFI Infinity NFII Ultra nr: 4\n"), std::string::npos);
    EXPECT_EQ(log.find("wrong syntax"), std::string::npos) << log;
    // Saved at the close without the mark, as every file this program writes.
    EXPECT_EQ(read_file("config.ini").rfind(bom, 0), std::string::npos);
    EXPECT_EQ(read_file("config.ini").rfind("[Main]\r\n", 0), 0u);
}

// A CSV path in config.ini longer than a value read can be is not cut to another file's name:
// no readings are logged, the log says why, and the close leaves the key as it was written.
TEST(Program, ACsvPathTooLongForTheSettingsIsNotCutToAnotherFile) {
    TempWorkDir dir;
    const std::string path = "readings-" + std::string(80, 'x') + ".csv";
    write_file("config.ini", kTicking + "[History]\r\nCsvFile=" + path + "\r\n");
    ASSERT_NO_FATAL_FAILURE(run_on_board_7(kStarted, std::chrono::milliseconds(2500)));  // 2 ticks
    EXPECT_NE(read_file("velmora.deb")
                  .find("VELMORA: CsvFile in [History] of config.ini is longer than 79 bytes, "
                        "readings not logged\n"),
              std::string::npos);
    EXPECT_FALSE(file_exists(path.substr(0, 79)));
    EXPECT_FALSE(file_exists(path));
    EXPECT_NE(read_file("config.ini").find("CsvFile=" + path + "\r\n"), std::string::npos);
}

// The lock's note is written by whoever holds the lock: its control bytes reach standard error
// escaped, so a holder cannot send escape sequences to the terminal of the run it turns away.
TEST(Program, TheLockHoldersNoteReachesTheTerminalEscaped) {
    TempWorkDir dir;
    write_file("velmora-sim.ini.lock", "4242 \x1b]0;owned\x07");
    const int fd = open("velmora-sim.ini.lock", O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    Child velmora({VELMORA_BINARY, "--sim=7", "--read"}, environment_with(kOffscreen));
    EXPECT_EQ(velmora.wait(), 1) << read_file("stderr.txt");
    close(fd);
    const std::string said = read_file("stderr.txt");
    EXPECT_NE(said.find("(process 4242 of user \\x1b]0;owned\\x07)"), std::string::npos) << said;
    EXPECT_EQ(said.find('\x1b'), std::string::npos);
}

// --config-dir walks its folder as every file is walked: another user's link to root's own
// folder is refused with 2 before anything is read or made there.
TEST(Files, AConfigFolderReachedThroughAnotherUsersLinkIsRefused) {
    if (!as_root())
        GTEST_SKIP() << "needs root and a second user";
    TempWorkDir dir;
    ASSERT_EQ(mkdir("private", 0700), 0);  // root's own
    ASSERT_EQ(mkdir("home", 0755), 0);
    ASSERT_EQ(chown("home", kOther, kOther), 0);
    plant_link("../private", "home/settings", kOther);
    Child velmora({VELMORA_BINARY, "--config-dir", "home/settings", "--read"},
                  environment_with(kOffscreen));
    EXPECT_EQ(velmora.wait(), 2) << read_file("stderr.txt");
    EXPECT_EQ(read_file("stderr.txt"),
              "velmora: the folder home/settings cannot be used for the files: a link that "
              "belongs to another user\n");
    EXPECT_TRUE(std::filesystem::is_empty("private"));
    // The user's own link to a folder is followed.
    ASSERT_EQ(lchown("home/settings", 0, 0), 0);
    Child own({VELMORA_BINARY, "--config-dir", "home/settings", "--read"},
              environment_with(kOffscreen));
    EXPECT_EQ(own.wait(), 0) << read_file("stderr.txt");
    EXPECT_TRUE(file_exists("private/velmora.deb"));
}

// In another user's folder, a hard link to root's own file is neither the lock (its note would
// overwrite the file) nor a settings file (its bytes would reach the log).
TEST(Files, AHardLinkToRootsFileIsNeitherTheLockNorASettingsFile) {
    if (!as_root())
        GTEST_SKIP() << "needs root and a second user";
    for (const char* name : {"velmora-sim.ini.lock", "config.ini", "presets.ini"}) {
        SCOPED_TRACE(name);
        TempWorkDir dir;
        ASSERT_EQ(chown(".", kOther, kOther), 0);
        write_file("victim.txt", "\r\n[Main]\r\nBoard=ROOTSECRET1\r\n");
        chmod("victim.txt", 0600);
        const std::string victim = read_file("victim.txt");
        ASSERT_EQ(link("victim.txt", name), 0);
        Child velmora({VELMORA_BINARY, "--sim=7", "--read"}, environment_with(kOffscreen));
        const bool lock = std::string(name) == "velmora-sim.ini.lock";
        EXPECT_EQ(velmora.wait(), lock ? 1 : 0) << read_file("stderr.txt");
        EXPECT_EQ(read_file("victim.txt"), victim);
        EXPECT_EQ(read_file("velmora.deb").find("ROOTSECRET1"), std::string::npos);
        if (lock) {
            EXPECT_NE(read_file("stderr.txt").find("it is a hard link to another file"),
                      std::string::npos)
                << read_file("stderr.txt");
        } else {
            const std::string said = std::string(name) == "config.ini"
                                         ? "CONFIGFILE: config.ini is a hard link to another "
                                           "file, not read\n"
                                         : "PRESETS: Can't open presets.ini for read\n";
            EXPECT_NE(read_file("velmora.deb").find(said), std::string::npos)
                << read_file("velmora.deb");
        }
    }
}

// Root in another user's folder logs readings only inside that folder or to a file of that
// user's: the user's config.ini does not choose a root file to append to, or a root-only folder
// to create one in, nor does a folder link of the user's lead there.
TEST(Files, RootWritesTheCsvLogOnlyWhereTheSettingsOwnerMay) {
    if (!as_root())
        GTEST_SKIP() << "needs root and a second user";
    const struct {
        const char* csv;
        bool written;
    } cases[] = {
        {"ROOT/secret.csv", false},   // root's own 0600 file
        {"ROOT/new.csv", false},      // a new file in root's folder
        {"link/secret.csv", false},   // the user's folder link to it
        {"readings.csv", true},       // inside the folder: made, and the user's to read
        {"HOME/readings.csv", true},  // the same, its path written out in full
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        TempWorkDir dir;
        const std::string root = std::filesystem::current_path().string() + "/root-only";
        ASSERT_EQ(mkdir("root-only", 0700), 0);
        write_file("root-only/secret.csv", kVictim);
        chmod("root-only/secret.csv", 0600);
        ASSERT_EQ(mkdir("home", 0755), 0);
        ASSERT_EQ(chdir("home"), 0);
        ASSERT_EQ(chown(".", kOther, kOther), 0);
        plant_link(root, "link", kOther);
        std::string csv = c.csv;
        if (csv.rfind("ROOT/", 0) == 0)
            csv = root + csv.substr(4);
        if (csv.rfind("HOME/", 0) == 0)
            csv = std::filesystem::current_path().string() + csv.substr(4);
        write_file("config.ini", kTicking + "[History]\r\nCsvFile=" + csv + "\r\n");
        ASSERT_EQ(chown("config.ini", kOther, kOther), 0);
        ASSERT_NO_FATAL_FAILURE(run_on_board_7(kStarted, std::chrono::milliseconds(2500)));
        EXPECT_EQ(read_file(root + "/secret.csv"), kVictim);
        EXPECT_FALSE(file_exists(root + "/new.csv"));
        EXPECT_EQ(file_exists("readings.csv"), c.written);
        if (!c.written) {
            EXPECT_NE(read_file("velmora.deb").find("readings not logged"), std::string::npos)
                << read_file("velmora.deb");
        }
    }
}

// The CSV log is put aside past 16 MB while the window runs, and the next tick begins a new one
// with its header: a window left open for months keeps it bounded.
TEST(Program, TheCsvLogIsPutAsideWhileRunningOnceItPassesItsSize) {
    TempWorkDir dir;
    write_file("readings.csv", std::string(16u * 1024u * 1024u - 50u, ','));
    write_file("config.ini", kTicking + "[History]\r\nCsvFile=readings.csv\r\n");
    Child velmora({VELMORA_BINARY, "--sim=7", "--unattended"}, environment_with(kOffscreen));
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted));
    // The tick that passes the size puts the file aside; the next one starts the new file.
    const auto begun = [] {
        return file_exists("readings.csv.old") && read_file("readings.csv").rfind("time,", 0) == 0;
    };
    for (int i = 0; i < 100 && !begun(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(), 0) << read_file("stderr.txt");
    EXPECT_GT(std::filesystem::file_size("readings.csv.old"), 16u * 1024u * 1024u);
    EXPECT_EQ(read_file("readings.csv").rfind("time,", 0), 0u) << read_file("readings.csv");
}

}  // namespace
