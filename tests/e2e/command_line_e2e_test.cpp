// SPDX-License-Identifier: GPL-2.0-or-later
// The program as a shell and a start-up script meet it: --help, --version, options it does not
// know, runs without a display, --read for scripts and --config-dir.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/program.h"
#include "helpers/strict_json.h"
#include "helpers/temp_dir.h"

namespace {

const std::vector<std::string> kOffscreen = {"QT_QPA_PLATFORM=offscreen"};

// Runs the program to its end; the exit code.
int run(const std::vector<std::string>& options, const std::vector<std::string>& env) {
    std::vector<std::string> args = {VELMORA_BINARY};
    args.insert(args.end(), options.begin(), options.end());
    Child velmora(args, environment_with(env));
    return velmora.wait();
}

TEST(CommandLine, HelpAndVersionPrintAndEndWithoutTouchingAnything) {
    TempWorkDir dir;
    EXPECT_EQ(run({"--help"}, {}), 0);
    const std::string help = read_file("stdout.txt");
    EXPECT_EQ(help.rfind("Available options:\n -s [VCore]\n", 0), 0u) << help;
    for (const char* option :
         {"--sim[=N]", "--unattended", "--trace-ports", "--hardware", "--ignore-kernel-drivers",
          " -m ", "--read", "--json", "--config-dir", "--version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    std::remove("stdout.txt");
    EXPECT_EQ(run({"--version", "-f", "170"}, {}), 0);
    EXPECT_EQ(read_file("stdout.txt").rfind("velmora 0.8.7-dev (Qt ", 0), 0u)
        << read_file("stdout.txt");
    EXPECT_FALSE(file_exists("velmora.deb"));
    EXPECT_FALSE(file_exists("velmora-sim.ini"));
}

// The program built without the toolkit runs the same session: the same exit code, log, output
// and board afterwards as velmora's, each run in a fresh folder on the simulated Epox.
TEST(CommandLine, TheProgramWithoutQtSetsAndReadsAsVelmoraDoes) {
    const struct {
        std::vector<std::string> options;
        int code;
        const char* config;  // config.ini before the run; null: none
    } cases[] = {
        {{"-s", "1.70", "-f", "180"}, 0, nullptr},
        {{"-f", "166.6"}, 2, nullptr},
        {{"-s", "9.90"}, 3, nullptr},
        {{"--read", "--json"}, 0, nullptr},
        // The close of a run without a board stored none: nothing to set the value on.
        {{"-s", "1.70"}, 3, "[Main]\r\nBoard=255\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1]);
        std::string seen[2][4];
        const char* const programs[2] = {VELMORA_BINARY, VELMORA_CLI_BINARY};
        for (int p = 0; p < 2; ++p) {
            TempWorkDir dir;
            if (c.config)
                write_file("config.ini", c.config);
            std::vector<std::string> args = {programs[p], "--sim=7", "--unattended"};
            args.insert(args.end(), c.options.begin(), c.options.end());
            Child program(args, environment_with(kOffscreen));
            EXPECT_EQ(program.wait(), c.code) << programs[p] << "\n" << read_file("stderr.txt");
            seen[p][0] = read_file("velmora.deb");
            seen[p][1] = read_file("stdout.txt");
            // The board's registers; the room's temperatures drift with the time the run took.
            const std::string state = read_file("velmora-sim.ini");
            seen[p][2] = state.substr(0, state.find("[World]"));
            seen[p][3] = read_file("stderr.txt");
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(seen[1][i], seen[0][i]);
        // velmora's toolkit may add lines of its own on standard error; the run's are there too.
        EXPECT_NE(seen[0][3].find(seen[1][3]), std::string::npos) << seen[0][3];
    }
}

TEST(CommandLine, AnUnknownOptionIsPassedOverAndSaidOnceOnStandardError) {
    TempWorkDir dir;
    EXPECT_EQ(run({"-S", "1.7", "-A", "-f", "170", "-S", "--sim=7"}, kOffscreen), 0);
    const std::string err = read_file("stderr.txt");
    EXPECT_EQ(count_of(err, "velmora: unknown option -S passed over (see --help)\n"), 1u) << err;
    EXPECT_EQ(count_of(err, "velmora: option -A does nothing, passed over (see --help)\n"), 1u);
    EXPECT_EQ(count_of(err, "unknown option"), 1u);  // values and our own options are no news
    EXPECT_NE(read_file("velmora.deb").find("Setting FSB to 170 done"), std::string::npos);
}

TEST(CommandLine, WithoutADisplayASettingRunGoesOnAndAWindowStartEndsWithCode1) {
    const struct {
        std::vector<std::string> options, env;
        int code;
        std::string said;  // on standard error
    } cases[] = {
        {{},
         {},
         1,
         "velmora: no display to open the window on (DISPLAY is not set); start it on a "
         "desktop, or add --unattended to run without a window\n"},
        {{}, {"DISPLAY=:97"}, 1, "(the display :97 does not answer)"},
        {{"-f", "170"}, {"DISPLAY=:97"}, 0, ""},
        {{"--read"}, {}, 0, ""},
    };
    for (const auto& c : cases) {
        TempWorkDir dir;
        EXPECT_EQ(run(c.options, c.env), c.code) << read_file("stderr.txt");
        const std::string err = read_file("stderr.txt");
        if (c.said.empty()) {
            EXPECT_EQ(err.find("velmora:"), std::string::npos) << err;
        } else {
            EXPECT_NE(err.find(c.said), std::string::npos) << err;
            EXPECT_FALSE(file_exists("velmora.deb"));  // refused before anything
        }
    }
    // Asked for, a window runs without a display as before.
    TempWorkDir dir;
    Child velmora({VELMORA_BINARY, "--unattended"}, environment_with({}));
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted));
    velmora.signal(SIGINT);
    EXPECT_EQ(velmora.wait(), 0);
    EXPECT_NE(read_file("stderr.txt").find("velmora: no display found"), std::string::npos);
}

// The lines of a state file that hold the board's settings, not its index registers or its
// temperatures.
std::string settings_of(const std::string& state) {
    std::string kept;
    size_t at = 0;
    while (at < state.size()) {
        const size_t end = state.find('\n', at);
        const std::string line = state.substr(at, end - at);
        if (line.rfind("00:", 0) == 0 || line.rfind("registers=", 0) == 0 ||
            line.rfind("bank0_cr50=", 0) == 0)
            kept += line + "\n";
        at = end == std::string::npos ? state.size() : end + 1;
    }
    return kept;
}

TEST(CommandLine, ReadPrintsTheBoardAsSetAndWritesNothing) {
    TempWorkDir dir;
    ASSERT_EQ(run({"-s", "1.70", "-f", "170"}, kOffscreen), 0);
    const std::string state = read_file("velmora-sim.ini");
    ASSERT_EQ(run({"--read", "-f", "200"}, {}), 0) << read_file("stderr.txt");
    const std::string text = read_file("stdout.txt");
    for (const char* line : {"Board:      Epox 8RDA+ Rev. 2.x (7)\n", "FSB:        170 MHz\n",
                             "VCore:      1.700 V\n", "Sensor CPU: "})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    std::remove("stdout.txt");
    ASSERT_EQ(run({"--read", "--json"}, {}), 0) << read_file("stderr.txt");
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(read_file("stdout.txt")), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << read_file("stdout.txt");
    // As a script's parser reads it, and byte for byte as on every run before.
    for (const char* loose : {"{\"a\": 166.}", "[1,]", "{\"a\": 01}", "\"\t\"", "{} x"})
        ASSERT_FALSE(StrictJson::valid(loose)) << loose;
    EXPECT_TRUE(StrictJson::valid(read_file("stdout.txt"))) << read_file("stdout.txt");
    EXPECT_EQ(read_file("stdout.txt"), golden("read_json_profile7.json"));
    const QJsonObject r = doc.object();
    EXPECT_EQ(r["board"].toObject()["number"].toInt(), 7);
    EXPECT_EQ(r["fsb"].toObject()["value"].toDouble(), 170.0);
    EXPECT_EQ(r["fsb"].toObject()["unit"].toString(), "MHz");
    const double multiplier = r["multiplier"].toObject()["value"].toDouble();
    EXPECT_EQ(r["cpu_clock"].toObject()["value"].toDouble(), std::round(170 * multiplier));
    const QJsonObject volts = r["voltages"].toObject();
    EXPECT_EQ(volts["vcore"].toObject()["value"].toDouble(), 1.7);
    EXPECT_EQ(volts["vdimm"].toObject()["unit"].toString(), "V");
    const QJsonObject sensors = r["sensors"].toObject();
    EXPECT_EQ(sensors.size(), 10);
    EXPECT_EQ(sensors["CPU"].toObject()["unit"].toString(), QString::fromUtf8("°C"));
    EXPECT_TRUE(sensors["CPU"].toObject()["value"].isDouble());
    EXPECT_GT(sensors["FAN1"].toObject()["value"].toDouble(), 0.0);
    EXPECT_EQ(r["ram_timings"].toObject()["Tras"].toObject()["unit"].toString(), "cycles");
    // Neither read-out changed a setting of the board (the chipset's registers, the VID chip,
    // the fan outputs) or wrote a settings file.
    EXPECT_EQ(settings_of(read_file("velmora-sim.ini")), settings_of(state));
    EXPECT_NE(state.find("[Faults]\r\ncount=0\r\n"), std::string::npos);
    EXPECT_FALSE(file_exists("config.ini"));
    EXPECT_EQ(read_file("velmora.deb").find("command-line option -f 200"), std::string::npos);
}

TEST(CommandLine, ConfigDirKeepsEveryFileInItsFolderMadeForThisUser) {
    TempWorkDir dir;
    ASSERT_EQ(run({"--config-dir", "sub/dir", "-f", "170"}, kOffscreen), 0);
    for (const char* name : {"velmora.deb", "velmora-sim.ini"}) {
        EXPECT_TRUE(file_exists(std::string("sub/dir/") + name)) << name;
        EXPECT_FALSE(file_exists(name)) << name;
    }
    struct stat st {};
    ASSERT_EQ(stat("sub/dir", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Without a folder: the desktop's settings folder.
    const std::string xdg = dir.path().string() + "/xdg";
    ASSERT_EQ(
        run({"-f", "171", "--config-dir"}, {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + xdg}),
        0);
    EXPECT_NE(read_file(xdg + "/velmora/velmora.deb").find("Setting FSB to 171 done"),
              std::string::npos);
}

}  // namespace
