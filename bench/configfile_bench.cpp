// SPDX-License-Identifier: GPL-2.0-or-later
// Cost of the settings-file engine on a config.ini of about 2 KB: every call reads the whole
// file, and every write puts the whole file back on disk.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/configfile.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
    const char* section;
    const char* key;
    int32_t value;
};

// A settings file as a long-used installation has it: five sections, 30 keys.
const std::vector<Entry> kEntries = {
    {"Main", "Board", 7},
    {"Main", "Reset", 1},
    {"Main", "Vcore", 1650},
    {"Main", "Vdimm", 2700},
    {"Main", "Vdd", 1600},
    {"Main", "Vagp", 1500},
    {"Main", "FSB", 200},
    {"Main", "Tras", 6},
    {"Main", "Trcd", 3},
    {"Main", "Trp", 3},
    {"AutoFSB", "Enabled", 0},
    {"AutoFSB", "MinFSB", 166},
    {"AutoFSB", "MaxFSB", 220},
    {"AutoFSB", "LoadHigh", 80},
    {"AutoFSB", "LoadLow", 20},
    {"AutoFSB", "MaxTemp", 60},
    {"Sensor", "CpuOffset", -5},
    {"Sensor", "SysOffset", 0},
    {"Sensor", "Interval", 1000},
    {"Sensor", "Port80", 1},
    {"AutoFAN", "Enabled", 1},
    {"AutoFAN", "MinTemp", 40},
    {"AutoFAN", "MaxTemp", 65},
    {"AutoFAN", "MinDuty", 30},
    {"AutoFAN", "MaxDuty", 100},
    {"Chipset", "Multiplier", 11},
    {"Chipset", "Dqs", 0},
    {"Chipset", "SuperBypass", 1},
    {"Chipset", "BurstRefresh", 1},
    {"Chipset", "Cmd", 2},
};

std::string settings_text() {
    std::string text;
    const char* section = "";
    for (const Entry& e : kEntries) {
        if (std::string(section) != e.section) {
            section = e.section;
            text += std::string("\r\n[") + section + "]\r\n";
            // Lines the engine carries through untouched, as older versions left them.
            text += "Description=settings of the " + std::string(section) + " page\r\n";
            text += "Revision=0.8.7 written by an earlier save of this program\r\n";
            text += "LastSaved=2026-03-14 21:07:33 on WORKSTATION-07, profile default\r\n";
            text += "Notes=values below are kept as the user left them; do not edit\r\n";
            text += "Legacy=" + std::string(40, '0') + "\r\n";
        }
        text += std::string(e.key) + "=" + std::to_string(e.value) + "\r\n";
    }
    return text;
}

// A config.ini in a fresh directory that is the working directory while it lives.
class SettingsDir {
  public:
    SettingsDir() : previous_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        fs::current_path(dir_);
        const std::string text = settings_text();
        std::ofstream("config.ini", std::ios::binary) << text;
        bytes_ = text.size();
        configfile_reset();
    }
    ~SettingsDir() {
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(dir_, ec);
    }
    size_t bytes() const { return bytes_; }

  private:
    fs::path previous_;
    fs::path dir_;
    size_t bytes_ = 0;
};

void BM_ReadOneValue(benchmark::State& state) {
    SettingsDir dir;
    int32_t value = 0;
    for (auto _ : state) {
        if (configfile_read("config.ini", "Chipset", "BurstRefresh", &value, CONFIG_INT) != 1)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
    state.counters["file_bytes"] = static_cast<double>(dir.bytes());
}
BENCHMARK(BM_ReadOneValue);

void BM_WriteOneValue(benchmark::State& state) {
    SettingsDir dir;
    int32_t value = 1650;
    for (auto _ : state) {
        if (configfile_write("config.ini", "Main", "Vcore", &value, CONFIG_INT) != 1)
            state.SkipWithError("write failed");
    }
    state.counters["file_bytes"] = static_cast<double>(dir.bytes());
}
BENCHMARK(BM_WriteOneValue)->Unit(benchmark::kMicrosecond);

// A settings save as it was done before: every key written in turn, each write rereading and
// rewriting the file (a rename and an fsync per key). Kept for comparison.
void BM_SaveAllSettingsKeyByKey(benchmark::State& state) {
    SettingsDir dir;
    for (auto _ : state) {
        for (const Entry& e : kEntries) {
            if (configfile_write("config.ini", e.section, e.key, &e.value, CONFIG_INT) != 1)
                state.SkipWithError("write failed");
        }
    }
    state.counters["writes"] = static_cast<double>(kEntries.size());
    state.counters["file_bytes"] = static_cast<double>(dir.bytes());
}
BENCHMARK(BM_SaveAllSettingsKeyByKey)->Unit(benchmark::kMillisecond);

// The save at close: every key applied to the text in memory, the file written once.
void BM_SaveAllSettingsOneWrite(benchmark::State& state) {
    SettingsDir dir;
    std::vector<ConfigEdit> edits;
    for (const Entry& e : kEntries)
        edits.push_back({e.section, e.key, &e.value, CONFIG_INT});
    for (auto _ : state) {
        if (configfile_write_many("config.ini", edits.data(), edits.size()) != 1)
            state.SkipWithError("write failed");
    }
    state.counters["keys"] = static_cast<double>(edits.size());
    state.counters["file_bytes"] = static_cast<double>(dir.bytes());
}
BENCHMARK(BM_SaveAllSettingsOneWrite)->Unit(benchmark::kMillisecond);

}  // namespace
