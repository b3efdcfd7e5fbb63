// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <clocale>

#include "app/long_options.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"

namespace {

struct Selected {
    double vcore = 1.65, vdimm = 2.6, vagp = 1.5, vdd = 1.6;
    int32_t tras = 11, trcd = 5, trp = 7, fsb = 166;
    CommandLineTargets targets() { return {vcore, vdimm, vagp, vdd, tras, trcd, trp, fsb}; }
};

class CommandLine : public ::testing::Test {
  protected:
    CommandLineResult parse(const std::vector<std::string>& args) {
        return parse_setting_options(args, selected.targets(), prompts);
    }

    TempWorkDir dir;
    Selected selected;
    ScriptedPrompts prompts;
};

TEST_F(CommandLine, SettingOptionsSelectTheirValuesAndLogThem) {
    EXPECT_EQ(parse({"-s", "1.6", "-f", "200", "-q", "6"}), CommandLineResult::Taken);
    EXPECT_DOUBLE_EQ(selected.vcore, 1.6);
    EXPECT_EQ(selected.fsb, 200);
    EXPECT_EQ(selected.tras, 6);
    EXPECT_DOUBLE_EQ(selected.vdimm, 2.6);  // untouched: Apply leaves it alone
    EXPECT_EQ(read_file("velmora.deb"),
              "VELMORA: command-line option -s 1.600\n"
              "VELMORA: command-line option -f 200\n"
              "VELMORA: command-line option -q 6\n");
    EXPECT_TRUE(prompts.messages.empty());

    // An option in a value's place is that option, not a value; the last value given wins.
    EXPECT_EQ(
        parse({"-s", "-s", "1.7", "-r", "2.7", "-a", "1.6", "-v", "1.8", "-w", "3", "-e", "2"}),
        CommandLineResult::Taken);
    EXPECT_DOUBLE_EQ(selected.vcore, 1.7);
    EXPECT_DOUBLE_EQ(selected.vdimm, 2.7);
    EXPECT_DOUBLE_EQ(selected.vagp, 1.6);
    EXPECT_DOUBLE_EQ(selected.vdd, 1.8);
    EXPECT_EQ(selected.trcd, 3);
    EXPECT_EQ(selected.trp, 2);
}

TEST_F(CommandLine, HelpAndMissingValuesStopWithTheirTexts) {
    EXPECT_EQ(parse({"-s", "1.6", "-r"}), CommandLineResult::Stopped);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"-r [VDIMM]"});
    EXPECT_DOUBLE_EQ(selected.vcore, 1.6);  // selected, but nothing will be applied

    EXPECT_EQ(parse({"-s", "-h"}), CommandLineResult::HelpShown);
    EXPECT_DOUBLE_EQ(selected.vcore, 1.6);  // "-h" is no value of "-s"
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(),
              "Available options:\n -s [VCore]\n -r [VDimm]\n -a [VAgp]\n -v [Vdd]\n -q [Tras]\n"
              " -w [Trcd]\n -e [Trp]\n -f [FSB]\n -A enable AutoFSB\n -l Enable Port80 LED CPU "
              "temp\n");
    for (const char* usage : {"-f", "-e", "-w", "-q", "-v", "-a"}) {
        parse({usage});
        ASSERT_FALSE(prompts.messages.empty());
        EXPECT_EQ(prompts.messages.back()[1], usage[1]);
    }
}

TEST_F(CommandLine, OtherArgumentsArePassedOver) {
    EXPECT_EQ(parse({"-S", "1.9", "-A", "-l", "-m", "11.5", "--sim=3", "-s1.7"}),
              CommandLineResult::NothingTaken);
    EXPECT_EQ(parse({}), CommandLineResult::NothingTaken);
    EXPECT_DOUBLE_EQ(selected.vcore, 1.65);
    EXPECT_FALSE(file_exists("velmora.deb"));
}

TEST_F(CommandLine, ValuesAreCutThenConvertedWithoutTheLocale) {
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(parse({"-s", "1.7000000000000000000000009999", "-a", " +1.5e0 ", "-f", "+170"}),
              CommandLineResult::Taken);
    std::setlocale(LC_ALL, "C");
    EXPECT_DOUBLE_EQ(selected.vcore, 1.7);  // cut to 25 characters first
    EXPECT_DOUBLE_EQ(selected.vagp, 1.5);
    EXPECT_EQ(selected.fsb, 170);
    if (german) {
        EXPECT_NE(read_file("velmora.deb").find("-s 1.700\n"), std::string::npos);
    }
    EXPECT_DOUBLE_EQ(decimal_to_double("abc"), 0.0);
    EXPECT_DOUBLE_EQ(decimal_to_double("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(decimal_to_double("inf"), 0.0);
    EXPECT_DOUBLE_EQ(decimal_to_double("0x10"), 0.0);
}

// A voltage or a clock is never set from a part of what was typed: the option is named, and
// the parse stops there.
TEST_F(CommandLine, AValueThatIsNotWhollyANumberOfItsKindIsRefused) {
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"-s", "1.8.5"}, "-s 1.8.5: not a number of volts (such as 1.650), nothing applied"},
        {{"-s", "1.70abc"}, "-s 1.70abc: not a number of volts (such as 1.650), nothing applied"},
        {{"-r", "2,8"}, "-r 2,8: not a number of volts (such as 1.650), nothing applied"},
        {{"-v", "nan"}, "-v nan: not a number of volts (such as 1.650), nothing applied"},
        {{"-a", "1e400"}, "-a 1e400: not a number of volts (such as 1.650), nothing applied"},
        {{"-s", "."}, "-s .: not a number of volts (such as 1.650), nothing applied"},
        {{"-f", "200abc"}, "-f 200abc: not a whole number, nothing applied"},
        {{"-f", "166.6"}, "-f 166.6: not a whole number, nothing applied"},
        {{"-f", "99999999999"}, "-f 99999999999: not a whole number, nothing applied"},
        {{"-s", "1.7", "-q", ""}, "-q : not a whole number, nothing applied"},
        {{"-e", "\x1b]0;x"}, "-e \\x1b]0;x: not a whole number, nothing applied"},
    };
    for (const auto& c : cases) {
        prompts.messages.clear();
        EXPECT_EQ(parse(c.args), CommandLineResult::Refused) << c.said;
        EXPECT_EQ(prompts.messages, std::vector<std::string>{c.said});
    }
    EXPECT_EQ(selected.fsb, 166);
    EXPECT_EQ(selected.tras, 11);
}

TEST(FindOption, TakesTheFirstOccurrenceAndCutsItsValue) {
    std::string value = "untouched";
    const std::vector<std::string> args = {"-m", "11.55555", "-m", "12"};
    EXPECT_TRUE(find_option(args, "-m", 5, value));
    EXPECT_EQ(value, "11.55");
    EXPECT_TRUE(find_option({"-A"}, "-A", 0, value));
    EXPECT_FALSE(find_option({"-m"}, "-m", 5, value));
    EXPECT_FALSE(find_option({"-M", "11"}, "-m", 5, value));
    EXPECT_EQ(value, "11.55");
}

}  // namespace

TEST(ConfigDirOption, EachFormNamesItsFolderOrTheDesktopsOne) {
    using Args = std::vector<std::string>;
    const struct {
        Args args;
        const char* xdg;
        bool given;
        const char* dir;
    } cases[] = {
        {{"--read"}, "/x", false, ""},
        {{"--config-dir", "my"}, "/x", true, "my"},
        {{"--config-dir=my"}, "/x", true, "my"},
        {{"--config-dir=m"}, "/x", true, "m"},  // the shortest value
        {{"--config-dir"}, "/x", true, "/x/velmora"},
        {{"--config-dir="}, "/x", true, "/x/velmora"},
        {{"--config-dir", "-s", "1.6"}, "/x", true, "/x/velmora"},  // an option is no folder
        {{"--config-dir"}, "relative", true, "/home/u/.config/velmora"},
        {{"--config-dir"}, nullptr, true, "/home/u/.config/velmora"},
        {{"--config-dir", "a", "--config-dir=b"}, "/x", true, "a"},  // the first one counts
        {{"--config-dirx"}, "/x", false, ""},
    };
    for (const auto& c : cases) {
        std::string dir = "left";
        EXPECT_EQ(config_dir_option(c.args, c.xdg, "/home/u", dir), c.given) << c.args[0];
        EXPECT_EQ(dir, c.dir) << c.args[0] << " " << (c.args.size() > 1 ? c.args[1] : "");
    }
}

// Standard error names each argument that is no option, once, in every form an option takes:
// with its value after it or after "=", with "=" alone, repeated, and at the end.
TEST(UnknownOptionNotes, EachFormOfAnOptionIsKnownAndEverythingElseNamedOnce) {
    using Args = std::vector<std::string>;
    const auto unknown = [](const char* arg) {
        return "velmora: unknown option " + std::string(arg) + " passed over (see --help)";
    };
    const struct {
        Args args;
        Args notes;
    } cases[] = {
        {{"--read", "--json", "--hardware", "--unattended", "--ignore-kernel-drivers", "--help",
          "-h", "--version", "--sim", "--trace-ports", "--config-dir"},
         {}},
        {{"--sim=3", "--sim=", "--trace-ports=f",
          "--trace-ports=", "--config-dir=", "--config-dir=d"},
         {}},
        {{"-s", "1.7", "-f", "200", "-m", "11.5", "-platform", "offscreen", "-s", "1.8"}, {}},
        {{"--config-dir", "dir", "-S"}, {unknown("-S")}},  // the folder is its value
        {{"--config-dir", "-S"}, {unknown("-S")}},         // an option is no folder
        {{"--read=1", "--jsonx", "--Read"},
         {unknown("--read=1"), unknown("--jsonx"), unknown("--Read")}},
        {{"-A", "-l", "-A"},
         {"velmora: option -A does nothing, passed over (see --help)",
          "velmora: option -l does nothing, passed over (see --help)"}},
        {{"-", "word", "-x"}, {unknown("-x")}},
        {{"-f"}, {}},  // a value option at the end: its usage is said elsewhere
    };
    for (const auto& c : cases)
        EXPECT_EQ(unknown_option_notes(c.args), c.notes) << c.args[0];
}
