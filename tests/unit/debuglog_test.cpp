// SPDX-License-Identifier: GPL-2.0-or-later
#include "diag/debuglog.h"
#include "diag/append_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <string>

#include "diag/errortext.h"
#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"

namespace {

std::string fmt(const char* format, auto... args) {
    return debug_format(format, {LogArg(args)...});
}

TEST(DebugFormat, ConversionsFollowTheLogsOwnLanguage) {
    EXPECT_EQ(fmt("%d", -5), "-5");
    EXPECT_EQ(fmt("%d", 0xFFFFFFFFu), "-1");
    EXPECT_EQ(fmt("%x", 10), "0a");
    EXPECT_EQ(fmt("%x", 0x1234), "1234");
    EXPECT_EQ(fmt("%x", 0x4E), "4e");
    EXPECT_EQ(fmt("%x", 0x10FB2Fu), "10fb2f");
    EXPECT_EQ(fmt("%f", 1.65), "1.650");
    EXPECT_EQ(fmt("%f", 2.0), "2.000");
    EXPECT_EQ(fmt("%f", -0.0125), "-0.013");
    EXPECT_EQ(fmt("%s", "Epox 8RDA+"), "Epox 8RDA+");
    EXPECT_EQ(fmt("%s", std::string("velmora 0.8.7-dev")), "velmora 0.8.7-dev");
    // No widths exist: the 5 picks the hex conversion and the d is plain text.
    EXPECT_EQ(fmt("%5d", 200), "c8d");
    // Two percent signs write the next argument in hex instead of a percent sign.
    EXPECT_EQ(fmt("load %%\n", 7), "load 07\n");
    EXPECT_EQ(fmt("ATXP1: %x,%x,%x,%x\n", 0x0d, 0, 0x80, 0xff), "ATXP1: 0d,00,80,ff\n");
}

TEST(DebugFormat, TextWithoutConversionsIsCopiedByteForByte) {
    const char* text = "VELMORA: Trayicon not available\n\t\x7f\xff";
    EXPECT_EQ(fmt(text), text);
}

TEST(DebugFormat, MissingArgumentsAndATrailingPercentWriteNothing) {
    EXPECT_EQ(fmt("a%db%fc\n", 1), "a1bc\n");
    EXPECT_EQ(fmt("end%"), "end");
    EXPECT_EQ(fmt("%s", static_cast<const char*>(nullptr)), "(null)");
}

TEST(DebugFormat, NumbersIgnoreTheUsersLocale) {
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (tools/install-deps.sh adds it)";
    const std::string line = fmt("VELMORA: Setting VCore to %f done\n", 1.65);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(line, "VELMORA: Setting VCore to 1.650 done\n");
}

TEST(DebugLog, EveryCallAppendsItsLineToTheFileAtOnce) {
    TempWorkDir dir;
    debug_print("===============================================\n");
    debug_print("VELMORA: Version %s\n", "velmora 0.8.7-dev");
    EXPECT_EQ(read_file("velmora.deb"),
              "===============================================\nVELMORA: Version velmora "
              "0.8.7-dev\n");
    debug_print("===============================================\n");
    EXPECT_EQ(read_file("velmora.deb").size(), 48u + 35u + 48u);
}

TEST(DebugLog, AnUnwritableDirectoryLosesTheLineSilently) {
    TempWorkDir dir;
    if (geteuid() == 0) {
        // Root writes through permission bits; a directory in place of the file stops it.
        mkdir("velmora.deb", 0755);
        debug_print("VELMORA: lost\n");
        struct stat st {};
        ASSERT_EQ(stat("velmora.deb", &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        return;
    }
    chmod(".", 0555);
    debug_print("VELMORA: lost\n");
    EXPECT_FALSE(file_exists("velmora.deb"));
}

TEST(ErrorText, EachCodeHasItsTextAndUnknownCodesAreNotDefined) {
    EXPECT_STREQ(error_text(1), "Unknown error, contact me!");
    EXPECT_STREQ(error_text(3), "ERROR: GiveIO -> Windows Servicemanager cannot be opened.");
    EXPECT_STREQ(error_text(4), "ERROR: GiveIO -> Access denied.");
    EXPECT_STREQ(error_text(5), "ERROR: GiveIO -> Path to giveio.sys too long.");
    EXPECT_STREQ(error_text(6), "ERROR: GiveIO -> Service is installed, but disabled.");
    EXPECT_STREQ(error_text(7), "ERROR: Cannot copy giveio.sys -> System32\\drivers.");
    EXPECT_STREQ(error_text(8), "ERROR: I2C-Init -> Cannot open GiveIO-handle.");
    EXPECT_STREQ(error_text(9), "ERROR: velmora -> SMB write error.");
    EXPECT_STREQ(error_text(10), "ERROR: velmora -> Invalid VCore.");
    EXPECT_STREQ(error_text(11), "ERROR: velmora -> Invalid VDimm.");
    EXPECT_STREQ(error_text(12), "ERROR: velmora -> Invalid VAgp.");
    EXPECT_STREQ(error_text(13), "ERROR: velmora -> Invalid Vdd.");
    for (uint32_t code : {0u, 2u, 14u, 255u, 0xFFFFFFFFu})
        EXPECT_STREQ(error_text(code), "ERROR: Not defined.") << code;
}

TEST(ErrorText, SystemTextIsThePlatformsTextForItsLastError) {
    FakePlatform os;
    ScopedPlatform installed(os);
    os.messages = {{5, "Access is denied.\r\n"}};
    os.error_number = 5;
    EXPECT_EQ(system_error_text(), "Access is denied.\r\n");
    os.error_number = 1275;
    EXPECT_EQ(system_error_text(), "");
}

// A log that grows past 16 MB while the program runs is put aside at once, as at a start.
TEST(DebugLogRotation, ALogPastItsSizeIsPutAsideWhileRunning) {
    TempWorkDir dir;
    debug_write(std::string(kRotateAtBytes, 'x'));
    EXPECT_FALSE(file_exists("velmora.deb.old"));
    debug_write("VELMORA: one more\n");
    EXPECT_TRUE(file_exists("velmora.deb.old"));
    debug_write("VELMORA: the next\n");
    EXPECT_EQ(read_file("velmora.deb"), "VELMORA: the next\n");
}

// The same line in a row is written once; the next other line, or the end of the run, says how
// often it came again. A log that is not the one written last (another folder) starts anew.
TEST(DebugLogRepeats, ALineSaidAgainAndAgainIsWrittenOnceWithItsCount) {
    {
        TempWorkDir dir;
        for (int i = 0; i < 18; ++i)
            debug_print("CONFIGFILE: Can't stat %s\n", "config.ini");
        debug_print("VELMORA: Board %d\n", 7);
        debug_print("VELMORA: Board %d\n", 7);
        debug_flush_repeats();
        EXPECT_EQ(read_file("velmora.deb"),
                  "CONFIGFILE: Can't stat config.ini\nCONFIGFILE: ... 17 more times\n"
                  "VELMORA: Board 7\nVELMORA: ... 1 more time\n");
        debug_print("VELMORA: Board %d\n", 7);
    }
    TempWorkDir other;
    debug_print("VELMORA: Board %d\n", 7);
    EXPECT_EQ(read_file("velmora.deb"), "VELMORA: Board 7\n");
    debug_flush_repeats();
}

}  // namespace
