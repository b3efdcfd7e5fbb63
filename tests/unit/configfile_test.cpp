// SPDX-License-Identifier: GPL-2.0-or-later
// The settings-file engine against real files: every test runs in its own empty working
// directory, where the debug log velmora.deb also lands.
#include "support/configfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "diag/debuglog.h"
#include "helpers/temp_dir.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr const char* kConfig = "config.ini";
constexpr int32_t kUntouched = -999;

std::string crlf_lines(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines)
        out += std::string(line) + "\r\n";
    return out;
}

class ConfigFileTest : public ::testing::Test {
  protected:
    void SetUp() override { configfile_reset(); }

    static int write_int(const char* section, const char* key, int32_t value,
                         const char* file = kConfig) {
        return configfile_write(file, section, key, &value, CONFIG_INT);
    }
    static int write_text(const char* section, const char* key, const char* value) {
        return configfile_write(kConfig, section, key, value, CONFIG_TEXT);
    }
    // The value, or nullopt when the read fails; a failed read must leave the variable alone.
    static std::optional<int32_t> read_int(const char* section, const char* key,
                                           const char* file = kConfig) {
        int32_t value = kUntouched;
        if (configfile_read(file, section, key, &value, CONFIG_INT) == 1)
            return value;
        EXPECT_EQ(value, kUntouched) << "failed read of " << section << "/" << key;
        return std::nullopt;
    }
    static bool has_key(const char* section, const char* key) {
        return configfile_read(kConfig, section, key, nullptr, CONFIG_INT) == 1;
    }
    static std::string config() { return read_file(kConfig); }
    // The names of new files a save left behind, one per line.
    static std::string temp_files(const fs::path& folder = ".") {
        std::string names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.find(".velmora-new") != std::string::npos)
                names += name + "\n";
        }
        return names;
    }
    static std::string debug_log() { return read_file(kDebugLogName); }

    TempWorkDir dir_;
};

TEST_F(ConfigFileTest, NewKeysInMissingFileFollowAnEmptyLineInReverseOrder) {
    const std::string stat_line = "CONFIGFILE: Can't stat config.ini\n";
    EXPECT_EQ(write_int("Main", "Board", 3), 1);
    EXPECT_EQ(debug_log(), stat_line);
    EXPECT_EQ(write_int("Main", "Reset", 1), 1);

    EXPECT_EQ(config(), "\r\n[Main]\r\nReset=1\r\nBoard=3\r\n");
    EXPECT_EQ(temp_files(), "");
    EXPECT_EQ(read_int("Main", "Board"), 3);
    EXPECT_EQ(read_int("Main", "Reset"), 1);
    // Once the file exists nothing more is logged; a missing key or section is not a failure.
    EXPECT_EQ(read_int("Main", "Vcore"), std::nullopt);
    EXPECT_EQ(read_int("AutoFSB", "Board"), std::nullopt);
    EXPECT_EQ(debug_log(), stat_line);

    // Every load of a missing file logs anew (the same line twice in a row is counted).
    fs::remove(kConfig);
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    debug_flush_repeats();
    EXPECT_EQ(debug_log(), stat_line + "CONFIGFILE: ... 1 more time\n");
}

TEST_F(ConfigFileTest, SettingsWrittenKeyByKeyFromNothingMatchGolden) {
    uint8_t on = 1, duty = 200;
    ASSERT_EQ(write_int("Main", "Board", 3), 1);
    ASSERT_EQ(write_int("Main", "Reset", 1), 1);
    ASSERT_EQ(configfile_write(kConfig, "AutoFSB", "Enabled", &on, CONFIG_BYTE), 1);
    ASSERT_EQ(write_int("Main", "Vcore", 1650), 1);
    ASSERT_EQ(write_int("AutoFSB", "MinFSB", 166), 1);
    ASSERT_EQ(write_text("Sensor", "CpuName", "CPU Temp"), 1);
    ASSERT_EQ(write_text("AutoFSB", "Preset", "Silent 200"), 1);
    ASSERT_EQ(write_int("Sensor", "Offset", -5), 1);
    ASSERT_EQ(configfile_write(kConfig, "Sensor", "FanDuty", &duty, CONFIG_BYTE), 1);
    ASSERT_EQ(write_int("Main", "Board", 5), 1);

    EXPECT_EQ(config(), golden("config_from_nothing.ini"));

    char name[kConfigValueBuffer] = {};
    uint8_t byte = 0;
    EXPECT_EQ(configfile_read(kConfig, "Sensor", "CpuName", name, CONFIG_TEXT), 1);
    EXPECT_STREQ(name, "CPU Temp");
    EXPECT_EQ(configfile_read(kConfig, "Sensor", "FanDuty", &byte, CONFIG_BYTE), 1);
    EXPECT_EQ(byte, 200);
    EXPECT_EQ(read_int("Sensor", "Offset"), -5);
    EXPECT_EQ(read_int("Main", "Board"), 5);
}

TEST_F(ConfigFileTest, OneWriteOfManyValuesLeavesWhatAWriteForEachWouldLeave) {
    const int32_t board = 7, reset = 1, fsb = 200, negative = -5;
    const uint8_t aperture = 200;
    const std::string s77(77, 'S');  // too long to be found: appended by every write
    const ConfigEdit edits[] = {
        {"Main", "Board", &board, CONFIG_INT},        {"Main", "Reset", &reset, CONFIG_INT},
        {"AutoFSB", "MaxFSB", &fsb, CONFIG_INT},      {"Sensor", "Name", "CPU Temp", CONFIG_TEXT},
        {"Main", "Offset", nullptr, CONFIG_INT},  // skipped
        {s77.c_str(), "A", &reset, CONFIG_INT},       {s77.c_str(), "A", &fsb, CONFIG_INT},
        {"Chipset", "AGPAP", &aperture, CONFIG_BYTE}, {"Main", "Board", &negative, CONFIG_INT},
    };
    const std::string bom = "\xEF\xBB\xBF";
    const std::string long_name = std::string(245, 'c') + ".ini";  // saved in place
    struct Case {
        const char* what;
        std::optional<std::string> file;  // nullopt: no file
        const char* path = kConfig;
    };
    const Case cases[] = {
        {"no file", std::nullopt},
        {"all keys", crlf_lines({"", "[Main]", "Board=3", "Reset=0", "", "[AutoFSB]", "MaxFSB=166",
                                 "", "[Sensor]", "Name=x", "", "[Chipset]", "AGPAP=4"})},
        {"some keys and foreign sections",
         crlf_lines({"; kept", "[Presets]", "Board=9", "", "[Main]", "Reset=1", "", "[Other]",
                     "MaxFSB=1"})},
        {"LF-only line ends", "[Main]\nBoard=3\nReset=1\n"},
        {"byte-order mark", bom + crlf_lines({"[Main]", "Board=3"})},
        {"empty file", ""},
        {"no room for a new file's name", "[Main]\r\nBoard=1\r\n", long_name.c_str()},
        {"a directory at the path", std::nullopt, "folder.ini"},
        {"a missing folder", std::nullopt, "nodir/config.ini"},
    };
    struct Result {
        int returned = 0;
        std::string bytes, log, held;
    };
    auto run = [&](const Case& c, bool one_write) {
        configfile_reset();
        std::error_code ec;
        for (const char* name : {kConfig, kDebugLogName, "folder.ini", long_name.c_str()})
            fs::remove_all(name, ec);
        if (c.file)
            write_file(c.path, *c.file);
        fs::create_directory("folder.ini");
        Result r;
        if (one_write) {
            r.returned = configfile_write_many(c.path, edits, std::size(edits));
        } else {
            r.returned = 1;
            for (const ConfigEdit& e : edits)
                r.returned &= configfile_write(c.path, e.section, e.key, e.value, e.kind);
        }
        r.bytes = fs::is_regular_file(c.path) ? read_file(c.path) : "";
        r.log = debug_log();
        r.held = configfile_held_text();
        return r;
    };
    for (const Case& c : cases) {
        const Result each = run(c, false), once = run(c, true);
        EXPECT_EQ(once.returned, each.returned) << c.what;
        EXPECT_EQ(once.bytes, each.bytes) << c.what;
        EXPECT_EQ(once.log, each.log) << c.what;
        EXPECT_EQ(once.held, each.held) << c.what;
    }
}

TEST_F(ConfigFileTest, RewritingAKeyKeepsEveryOtherByteAndItsPlace) {
    auto file_with = [](const char* vcore) {
        return "Stray text\r\n\r\n[Main]\r\nBoard=3\r\nVcore=" + std::string(vcore) +
               "\r\nnot an entry\r\nReset=1\r\n\r\n[Sensor]\r\nVcore=1\r\n";
    };
    write_file(kConfig, file_with("1650"));

    EXPECT_EQ(write_int("Main", "Vcore", 1725), 1);
    EXPECT_EQ(config(), file_with("1725"));
    EXPECT_EQ(write_text("Main", "Vcore", "7"), 1);
    EXPECT_EQ(config(), file_with("7"));
    EXPECT_EQ(write_text("Main", "Vcore", "7"), 1);
    EXPECT_EQ(config(), file_with("7"));

    // Nothing is cached between calls: an edit made behind the engine's back is seen.
    write_file(kConfig, file_with("1800"));
    EXPECT_EQ(read_int("Main", "Vcore"), 1800);
    EXPECT_FALSE(file_exists(kDebugLogName));
}

TEST_F(ConfigFileTest, LfOnlyFileHasNoSectionAndGetsACrLfSectionAppended) {
    write_file(kConfig, "[Main]\nBoard=3\nReset=1\n");
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    EXPECT_FALSE(has_key("Main", "Reset"));

    EXPECT_EQ(write_int("Main", "Board", 7), 1);
    EXPECT_EQ(config(), golden("lf_only_line_ends_appended.ini"));
    EXPECT_EQ(read_int("Main", "Board"), 7);
}

TEST_F(ConfigFileTest, HeadersAndEntriesAreFoundOnlyWhereTheyBeginALine) {
    write_file(kConfig, "[Main] \r\nBoard=3\r\n");
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    write_file(kConfig, "[Main]\r\nBoard = 3\r\nvcore=1650\r\n");
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    EXPECT_EQ(read_int("main", "vcore"), std::nullopt);
    EXPECT_EQ(read_int("Main", "Vcore"), std::nullopt);

    // A header quoted inside a line does not open the section.
    write_file(kConfig, "Title=x[Main]\r\nBoard=1\r\n[Main]\r\nBoard=2\r\n");
    EXPECT_EQ(read_int("Main", "Board"), 2);

    // Key 1 is neither the tail of key 11 nor part of another key's value.
    const std::string map = "[Map]\r\n11=7\r\nx=1=5\r\nz1=4\r\n";
    write_file(kConfig, map);
    EXPECT_EQ(read_int("Map", "1"), std::nullopt);
    EXPECT_EQ(read_int("Map", "11"), 7);
    EXPECT_EQ(read_int("Map", "x"), 1);
    EXPECT_EQ(write_int("Map", "1", 3), 1);
    EXPECT_EQ(config(), "[Map]\r\n1=3\r\n" + map.substr(7));
    EXPECT_EQ(read_int("Map", "1"), 3);
    EXPECT_EQ(read_int("Map", "11"), 7);
}

TEST_F(ConfigFileTest, AByteOrderMarkStartsTheFirstLineAndIsLeftOutWhenWritten) {
    const std::string bom = "\xEF\xBB\xBF";
    write_file(kConfig, bom + "[Main]\r\nBoard=3\r\n");
    EXPECT_EQ(read_int("Main", "Board"), 3);
    EXPECT_EQ(write_int("Main", "Reset", 1), 1);
    EXPECT_EQ(write_int("Main", "Board", 4), 1);
    EXPECT_EQ(config(), "[Main]\r\nReset=1\r\nBoard=4\r\n");

    // Anywhere else the three bytes are text of their line, and a second mark keeps the first:
    // without it the second line would begin the file.
    write_file(kConfig, "\r\n" + bom + "[Main]\r\nBoard=3\r\n");
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    write_file(kConfig, bom + bom + "[Main]\r\nBoard=3\r\n");
    EXPECT_EQ(write_int("Main", "Board", 4), 1);
    EXPECT_EQ(config(), bom + bom + "[Main]\r\nBoard=3\r\n\r\n[Main]\r\nBoard=4\r\n");
    EXPECT_EQ(read_int("Main", "Board"), 4);
}

TEST_F(ConfigFileTest, NumbersConvertTheirLeadingDigitsAndSaturate) {
    write_file(kConfig, crlf_lines({"[Main]", "A=12abc", "B=", "C=-7", "D=300", "E= \t+42",
                                    "F=99999999999", "G=-99999999999", "H=abc", "I=-1"}));
    EXPECT_EQ(read_int("Main", "A"), 12);
    EXPECT_EQ(read_int("Main", "B"), 0);
    EXPECT_EQ(read_int("Main", "C"), -7);
    EXPECT_EQ(read_int("Main", "E"), 42);
    EXPECT_EQ(read_int("Main", "F"), INT32_MAX);
    EXPECT_EQ(read_int("Main", "G"), INT32_MIN);
    EXPECT_EQ(read_int("Main", "H"), 0);
    uint8_t byte = 0;
    EXPECT_EQ(configfile_read(kConfig, "Main", "D", &byte, CONFIG_BYTE), 1);
    EXPECT_EQ(byte, 44);
    EXPECT_EQ(configfile_read(kConfig, "Main", "I", &byte, CONFIG_BYTE), 1);
    EXPECT_EQ(byte, 255);

    EXPECT_EQ(configfile_decimal("2147483647"), INT32_MAX);
    EXPECT_EQ(configfile_decimal("2147483648"), INT32_MAX);
    EXPECT_EQ(configfile_decimal("-2147483648"), INT32_MIN);
    EXPECT_EQ(configfile_decimal("-2147483649"), INT32_MIN);
    EXPECT_EQ(configfile_decimal("\r\n\v\f 9"), 9);
    EXPECT_EQ(configfile_decimal("--5"), 0);
    EXPECT_EQ(configfile_decimal("+"), 0);
}

TEST_F(ConfigFileTest, ByteWritesAreUnsignedAndIntWritesKeepTheirSign) {
    uint8_t byte = 200;
    EXPECT_EQ(configfile_write(kConfig, "Main", "Fan", &byte, CONFIG_BYTE), 1);
    EXPECT_EQ(write_int("Main", "Low", INT32_MIN), 1);
    EXPECT_EQ(config(), "\r\n[Main]\r\nLow=-2147483648\r\nFan=200\r\n");
}

TEST_F(ConfigFileTest, TextValueIsDeliveredTerminatedAndCutTo79Characters) {
    const std::string long_value(100, 'v');
    write_file(kConfig, "[Sensor]\r\nName= CPU  Temp \r\nLong=" + long_value + "\r\nEmpty=\r\n");

    char buf[kConfigValueBuffer + 1];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(configfile_read(kConfig, "Sensor", "Name", buf, CONFIG_TEXT), 1);
    EXPECT_STREQ(buf, " CPU  Temp ");
    EXPECT_EQ(configfile_read(kConfig, "Sensor", "Long", buf, CONFIG_TEXT), 1);
    EXPECT_EQ(std::string(buf), long_value.substr(0, 79));
    EXPECT_EQ(buf[kConfigValueBuffer], 'Z') << "read ran past an 80-byte buffer";
    EXPECT_EQ(configfile_read(kConfig, "Sensor", "Empty", buf, CONFIG_TEXT), 1);
    EXPECT_STREQ(buf, "");

    EXPECT_EQ(write_text("Sensor", "Name", "  Fan 2  "), 1);
    EXPECT_EQ(configfile_read(kConfig, "Sensor", "Name", buf, CONFIG_TEXT), 1);
    EXPECT_STREQ(buf, "  Fan 2  ");
}

TEST_F(ConfigFileTest, EntryOnALastLineWithoutLineEndExistsButHasNoValueUntilRewritten) {
    write_file(kConfig, "[Main]\r\nBoard=3\r\nReset=12345");
    EXPECT_EQ(read_int("Main", "Reset"), std::nullopt);
    uint8_t byte = 9;
    char text[kConfigValueBuffer] = "default";
    EXPECT_EQ(configfile_read(kConfig, "Main", "Reset", &byte, CONFIG_BYTE), 0);
    EXPECT_EQ(configfile_read(kConfig, "Main", "Reset", text, CONFIG_TEXT), 0);
    EXPECT_EQ(byte, 9);
    EXPECT_STREQ(text, "default");
    EXPECT_TRUE(has_key("Main", "Reset"));

    EXPECT_EQ(write_int("Main", "Reset", 1), 1);
    EXPECT_EQ(config(), "[Main]\r\nBoard=3\r\nReset=1\r\n");
    EXPECT_EQ(read_int("Main", "Reset"), 1);
}

TEST_F(ConfigFileTest, KeyBeyondTheNextBracketIsInsertedAtTheTopOfItsOwnSection) {
    write_file(kConfig, "\r\n[Main]\r\nBoard=3\r\n\r\n[Sensor]\r\nReset=5\r\n");
    EXPECT_EQ(read_int("Main", "Reset"), std::nullopt);
    EXPECT_EQ(write_int("Main", "Reset", 1), 1);
    EXPECT_EQ(config(), "\r\n[Main]\r\nReset=1\r\nBoard=3\r\n\r\n[Sensor]\r\nReset=5\r\n");
    EXPECT_EQ(read_int("Main", "Reset"), 1);
    EXPECT_EQ(read_int("Sensor", "Reset"), 5);

    // Any '[' ends a section's body, even inside a value.
    write_file(kConfig, "[Main]\r\nNote=see [x]\r\nBoard=3\r\n");
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    EXPECT_EQ(write_int("Main", "Board", 4), 1);
    EXPECT_EQ(config(), "[Main]\r\nBoard=4\r\nNote=see [x]\r\nBoard=3\r\n");
}

TEST_F(ConfigFileTest, EmptyFileIsLoggedOnEveryLoadAndWrittenAsIfMissing) {
    write_file(kConfig, "");
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    EXPECT_FALSE(has_key("Main", "Board"));
    EXPECT_EQ(write_int("Main", "Board", 3), 1);

    EXPECT_EQ(config(), "\r\n[Main]\r\nBoard=3\r\n");
    const std::string line = "CONFIGFILE: Can't read from config.ini\n";
    debug_flush_repeats();
    EXPECT_EQ(debug_log(), line + "CONFIGFILE: ... 2 more times\n");
}

TEST_F(ConfigFileTest, OverlongSectionAndKeyNamesAreNeverFound) {
    const std::string s76(76, 'S'), s77(77, 'S'), k79(79, 'k'), k80(80, 'k');
    for (int32_t v : {1, 2}) {
        EXPECT_EQ(write_int(s76.c_str(), "A", v), 1);
        EXPECT_EQ(write_int(s77.c_str(), "A", v), 1);
    }
    EXPECT_EQ(read_int(s76.c_str(), "A"), 2);
    EXPECT_EQ(read_int(s77.c_str(), "A"), std::nullopt);
    const std::string copy77 = "\r\n[" + s77 + "]\r\n";
    EXPECT_EQ(config(), "\r\n[" + s76 + "]\r\nA=2\r\n" + copy77 + "A=1\r\n" + copy77 + "A=2\r\n");

    for (int32_t v : {1, 2}) {
        EXPECT_EQ(write_int("Keys", k79.c_str(), v, "keys.ini"), 1);
        EXPECT_EQ(write_int("Keys", k80.c_str(), v, "keys.ini"), 1);
    }
    EXPECT_EQ(read_int("Keys", k79.c_str(), "keys.ini"), 2);
    EXPECT_EQ(read_int("Keys", k80.c_str(), "keys.ini"), std::nullopt);
    EXPECT_EQ(read_file("keys.ini"),
              "\r\n[Keys]\r\n" + k80 + "=2\r\n" + k80 + "=1\r\n" + k79 + "=2\r\n");
}

TEST_F(ConfigFileTest, WriteAfterReadingAnotherFileHoldsNothingOfIt) {
    const std::string autofan = "\r\n[AutoFAN]\r\nEnabled=1\r\nMinTemp=40\r\n";
    write_file("autofan.ini", autofan);
    EXPECT_EQ(read_int("AutoFAN", "MinTemp", "autofan.ini"), 40);
    EXPECT_EQ(configfile_held_text(), autofan);

    EXPECT_EQ(write_int("Main", "Board", 3), 1);
    EXPECT_EQ(config(), "\r\n[Main]\r\nBoard=3\r\n");
    EXPECT_EQ(read_int("Main", "Board", "sensor.ini"), std::nullopt);
    EXPECT_TRUE(configfile_held_text().empty());
}

TEST_F(ConfigFileTest, BinaryJunkNeverBreaksReadsAndAWriteKeepsEveryByte) {
    std::string junk = "\0\xff[Main\r\n=\r\r\n\0[]\r\n==\x01[Main]\n"s;
    for (int b = 0; b < 256; ++b)
        junk += static_cast<char>(b);
    write_file(kConfig, junk);

    char text[kConfigValueBuffer];
    uint8_t byte = 0;
    for (const char* section : {"Main", "", "]", "\xff"}) {
        for (const char* key : {"", "=", "Board", "\x01"}) {
            configfile_read(kConfig, section, key, text, CONFIG_TEXT);
            configfile_read(kConfig, section, key, &byte, CONFIG_BYTE);
            read_int(section, key);
        }
    }
    EXPECT_EQ(write_int("Main", "Board", 3), 1);
    EXPECT_EQ(config(), junk + "\r\n[Main]\r\nBoard=3\r\n");

    // A NUL byte does not hide what follows it.
    write_file(kConfig, "\0\0\r\n[Main]\r\nBoard=6\r\n"s);
    EXPECT_EQ(read_int("Main", "Board"), 6);
}

TEST_F(ConfigFileTest, ExistingFileThatCannotBeReadIsLeftUntouched) {
    fs::create_directory(kConfig);
    EXPECT_EQ(read_int("Main", "Board"), std::nullopt);
    EXPECT_EQ(write_int("Main", "Board", 3), 0);
    EXPECT_TRUE(fs::is_directory(kConfig));
    EXPECT_TRUE(fs::is_empty(kConfig));
    EXPECT_EQ(temp_files(), "");

    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop root";
    const std::string settings = "\r\n[Main]\r\nBoard=3\r\n";
    write_file("sensor.ini", settings);
    fs::permissions("sensor.ini", fs::perms::owner_write);
    EXPECT_EQ(write_int("Main", "Board", 4, "sensor.ini"), 0);
    EXPECT_NE(debug_log().find("CONFIGFILE: Can't open sensor.ini for read\n"), std::string::npos);
    fs::permissions("sensor.ini", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(read_file("sensor.ini"), settings);
}

TEST_F(ConfigFileTest, FailedWriteLeavesTheOriginalAndNoTemporaryFile) {
    const std::string settings = "\r\n[Main]\r\nBoard=3\r\n";
    EXPECT_EQ(write_int("Main", "Board", 4, "nodir/config.ini"), 0);
    EXPECT_NE(debug_log().find("CONFIGFILE: Can't open nodir/config.ini for write: No such file "
                               "or directory\n"),
              std::string::npos);

    // A file-size limit makes the new file fall short, for root as well.
    fs::remove(kDebugLogName);
    const std::string big = settings + "Padding=" + std::string(200, 'p') + "\r\n";
    write_file(kConfig, big);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = write_int("Main", "Board", 4);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(config(), big);
    EXPECT_EQ(temp_files(), "");
    EXPECT_EQ(debug_log(), "CONFIGFILE: Write error on config.ini: File too large\n");

    if (geteuid() == 0)
        GTEST_SKIP() << "a read-only directory does not stop root";
    fs::remove(kDebugLogName);
    write_file(kDebugLogName, "");  // the log stays writable in the locked directory
    fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(write_int("Main", "Board", 4, "sensor.ini"), 0);
    fs::permissions(".", fs::perms::owner_all);
    EXPECT_FALSE(file_exists("sensor.ini"));
    EXPECT_EQ(debug_log(),
              "CONFIGFILE: Can't stat sensor.ini\n"
              "CONFIGFILE: Can't open sensor.ini for write: Permission denied\n");
    EXPECT_EQ(temp_files(), "");
}

TEST_F(ConfigFileTest, RewriteLeavesAStaleTempFileAloneAndKeepsModeAndLink) {
    write_file(kConfig, "\r\n[Main]\r\nBoard=3\r\n");
    const std::string stale = "left over from an interrupted save";
    write_file("config.ini.velmora-new", stale);
    fs::permissions(kConfig,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(write_int("Main", "Board", 4), 1);
    EXPECT_EQ(config(), "\r\n[Main]\r\nBoard=4\r\n");
    EXPECT_EQ(read_file("config.ini.velmora-new"), stale);
    fs::remove("config.ini.velmora-new");
    EXPECT_EQ(temp_files(), "");
    EXPECT_EQ(fs::status(kConfig).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    fs::create_directory("real");
    write_file("real/sensor.ini", "\r\n[Sensor]\r\nFan=1\r\n");
    fs::create_symlink("real/sensor.ini", "sensor.ini");
    EXPECT_EQ(write_int("Sensor", "Fan", 2, "sensor.ini"), 1);
    EXPECT_TRUE(fs::is_symlink("sensor.ini"));
    EXPECT_EQ(read_file("real/sensor.ini"), "\r\n[Sensor]\r\nFan=2\r\n");

    // A link whose file is missing gets that file created behind it.
    fs::create_symlink("real/autofan.ini", "autofan.ini");
    EXPECT_EQ(write_int("ID0.1", "duty_min", 60, "autofan.ini"), 1);
    EXPECT_TRUE(fs::is_symlink("autofan.ini"));
    EXPECT_EQ(read_file("real/autofan.ini"), "\r\n[ID0.1]\r\nduty_min=60\r\n");
}

}  // namespace
