// SPDX-License-Identifier: GPL-2.0-or-later
// presets.ini: the preset text, which words are presets, and reading and writing the file;
// the search for the nearest preset.
#include "automation/presets_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <string>

#include "automation/presets.h"
#include "helpers/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string stored() {
    std::string text;
    Preset p{};
    for (int i = 0; i < preset_count(); ++i) {
        preset_at(i, &p);
        text += preset_format(p) + " ";
    }
    return text;
}

class PresetsFile : public ::testing::Test {
  protected:
    PresetsFile() { presets_reset_state(); }
    ~PresetsFile() override { presets_reset_state(); }
    std::string log() { return read_file("velmora.deb"); }
    TempWorkDir dir;
};

TEST_F(PresetsFile, WordsArePresetsOnlyWhenEveryFieldIsAWholeNumberInRange) {
    struct Case {
        const char* word;
        bool preset;
        const char* text;  // the preset formatted again
    };
    const Case cases[] = {
        {"200:1.650:2.70", true, "200:1.650:2.70"}, {"99:1.6:2.8", true, "99:1.600:2.80"},
        {"50:0:0", true, "50:0.000:0.00"},  // a board without Vdimm control
        {"300:5:5", true, "300:5.000:5.00"},        {"166:1.6504:2.695", true, "166:1.650:2.69"},
        {"166:nan:2.70", false, nullptr},           {"166:1e300:2.70", false, nullptr},
        {"166:5.001:2.70", false, nullptr},         {"166:-0.1:2.70", false, nullptr},
        {"70000:1.65:2.70", false, nullptr},        {"49:1.65:2.70", false, nullptr},
        {"301:1.65:2.70", false, nullptr},          {"166:1,650:2.70", false, nullptr},
        {"166:1.650:2.70x", false, nullptr},        {"166.0:1.650:2.70", false, nullptr},
        {"166:1.650:2.70:1", false, nullptr},       {"extra", false, nullptr},
    };
    // A German desktop writes and reads the same digits.
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    for (const Case& c : cases) {
        Preset p{-1, -1.0, -1.0};
        EXPECT_EQ(preset_parse(c.word, &p), c.preset) << c.word;
        if (c.preset) {
            EXPECT_EQ(preset_format(p), c.text) << c.word;
        }
    }
    std::setlocale(LC_ALL, "C");
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (tools/install-deps.sh adds it)";
}

TEST_F(PresetsFile, LoadingReadsWordsAndReportsTheRest) {
    write_file("presets.ini",
               "200:1.650:2.70\n166:1.650:2.70 extra\r\n\n\n145:1.500:2.60:1\n"
               "166:nan:2.70\n200:1.700:2.80\n" +
                   std::string(75, '1') + "\n");
    preset_add(Preset{145, 1.5, 2.6});  // an entry already stored stays
    EXPECT_EQ(preset_load("presets.ini"), 1);
    EXPECT_EQ(stored(), "145:1.500:2.60 166:1.650:2.70 200:1.700:2.80 ");
    EXPECT_EQ(log(),
              "PRESETS: presets.ini line extra wrong syntax\n"
              "PRESETS: presets.ini line 145:1.500:2.60:1 wrong syntax\n"
              "PRESETS: presets.ini line 166:nan:2.70 wrong syntax\n"
              "PRESETS: presets.ini line " +
                  std::string(70, '1') +
                  " wrong syntax\n"
                  "PRESETS: presets.ini line 11111 wrong syntax\n");

    presets_reset_state();
    fs::create_directory("folder.ini");
    EXPECT_EQ(preset_load("missing.ini"), 0);
    EXPECT_EQ(preset_load("folder.ini"), 0);
    EXPECT_EQ(preset_count(), 0);
    EXPECT_NE(log().find("PRESETS: Can't open missing.ini for read\n"
                         "PRESETS: Can't open folder.ini for read\n"),
              std::string::npos);
}

TEST_F(PresetsFile, SavingWritesTheStoreInOrderAndReadsBackTheSame) {
    preset_add(Preset{200, 1.65, 2.7});
    preset_add(Preset{99, 1.6, 2.8});
    preset_add(Preset{200, 1.7, 2.8});  // replaces the first, at the end
    EXPECT_EQ(preset_save("presets.ini"), 1);
    EXPECT_EQ(read_file("presets.ini"), "99:1.600:2.80\n200:1.700:2.80\n");
    presets_reset_state();
    EXPECT_EQ(preset_load("presets.ini"), 1);
    EXPECT_EQ(stored(), "99:1.600:2.80 200:1.700:2.80 ");

    presets_reset_state();
    EXPECT_EQ(preset_save("presets.ini"), 1);
    EXPECT_EQ(read_file("presets.ini"), "");
    EXPECT_FALSE(file_exists("velmora.deb"));
}

TEST_F(PresetsFile, AFailedSaveKeepsTheOldFile) {
    preset_add(Preset{200, 1.65, 2.7});
    fs::create_directory("folder.ini");
    EXPECT_EQ(preset_save("folder.ini"), 0);
    EXPECT_TRUE(fs::is_directory("folder.ini"));
    EXPECT_EQ(log(), "PRESETS: Can't open folder.ini for write\n");

    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link to another user";
    // A link of another user is never written through.
    fs::create_directory("real");
    write_file("real/presets.ini", "166:1.650:2.70\n");
    fs::create_symlink("real/presets.ini", "presets.ini");
    ASSERT_EQ(::lchown("presets.ini", 65534, gid_t(-1)), 0);
    EXPECT_EQ(preset_save("presets.ini"), 0);
    EXPECT_EQ(read_file("real/presets.ini"), "166:1.650:2.70\n");
    EXPECT_EQ(preset_count(), 1);
    EXPECT_NE(log().find("PRESETS: Can't open presets.ini for write\n"), std::string::npos);
}

}  // namespace

// The nearest preset above or below a clock: one 1 MHz away is the nearest, the clock's own is
// neither above nor below it.
TEST(PresetSearch, TheNearestPresetOnEachSideCountsFromOneMhzAway) {
    presets_reset_state();
    for (int fsb : {150, 166, 167, 200})
        preset_add({static_cast<int16_t>(fsb), 1.65, 2.6});
    const struct {
        int fsb, above, found;
    } cases[] = {
        {166, 1, 167}, {167, 0, 166}, {166, 0, 150}, {167, 1, 200},
        {149, 1, 150}, {201, 0, 200}, {200, 1, 0},   {150, 0, 0},
    };
    for (const auto& c : cases) {
        Preset p{};
        const int found = preset_find_nearest(c.fsb, &p, c.above);
        EXPECT_EQ(found ? p.fsb : 0, c.found) << c.fsb << (c.above ? " up" : " down");
    }
    presets_reset_state();
}
