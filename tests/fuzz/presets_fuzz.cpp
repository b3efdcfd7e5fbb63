// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target for presets.ini: any bytes must load without a crash into a store of
// presets within the ranges the loader accepts, one per FSB, and the store must come back
// from its own save: the same FSBs in the same order, the voltages as rounded for the file.
#include <stdlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "automation/presets.h"
#include "automation/presets_file.h"
#include "diag/debuglog.h"
#include "fuzz_support.h"
#include "support/configfile.h"

namespace {

constexpr const char* kFile = "presets.ini";
// The file keeps Vcore with three decimals and Vdimm with two.
constexpr double kVcoreStep = 0.0005 + 1e-9;
constexpr double kVdimmStep = 0.005 + 1e-9;

void check(bool ok, const char* what) {
    fuzz_check(ok, "presets", what);
}

std::string file_bytes(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool volts_in_range(double v) {
    return std::isfinite(v) && v >= 0.0 && v <= 5.0;
}

std::vector<Preset> stored() {
    std::vector<Preset> presets;
    Preset p{};
    for (int i = 0; i < preset_count(); ++i) {
        check(preset_at(i, &p) == 1, "preset_at refused an index below the count");
        presets.push_back(p);
    }
    check(preset_at(preset_count(), &p) == 0, "preset_at gave an entry past the count");
    return presets;
}

void check_store(const std::vector<Preset>& presets) {
    std::set<int> fsbs;
    for (const Preset& p : presets) {
        check(p.fsb >= 50 && p.fsb <= 300, "FSB out of range");
        check(volts_in_range(p.vcore), "Vcore out of range");
        check(volts_in_range(p.vdimm), "Vdimm out of range");
        check(fsbs.insert(p.fsb).second, "two presets with the same FSB");
    }
}

std::vector<Preset> load_fresh() {
    presets_reset_state();
    configfile_reset();
    check(preset_load(kFile) == 1, "existing file not read");
    return stored();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = fuzz_enter_work_dir();
    if (!ready)
        return 0;
    {
        std::ofstream out(kFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::vector<Preset> loaded = load_fresh();
    check_store(loaded);

    check(preset_save(kFile) == 1, "save failed");
    const std::string saved = file_bytes(kFile);
    const std::vector<Preset> again = load_fresh();
    check(again.size() == loaded.size(), "a saved preset did not load again");
    for (size_t i = 0; i < loaded.size(); ++i) {
        check(again[i].fsb == loaded[i].fsb, "order or FSB changed by save and load");
        check(std::fabs(again[i].vcore - loaded[i].vcore) <= kVcoreStep,
              "Vcore changed by more than its rounding");
        check(std::fabs(again[i].vdimm - loaded[i].vdimm) <= kVdimmStep,
              "Vdimm changed by more than its rounding");
    }
    // Once rounded, the store is a fixed point: saving it again writes the same bytes.
    check(preset_save(kFile) == 1, "second save failed");
    check(file_bytes(kFile) == saved, "saved text differs after a save and load");
    std::remove(kDebugLogName);
    return 0;
}
