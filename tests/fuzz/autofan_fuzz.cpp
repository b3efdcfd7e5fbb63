// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target for autofan.ini: any bytes must load without a crash into entries whose
// ranges are straight (duty min <= duty max, temp min <= temp max) and whose duty line stays
// between the duties at every temperature, and a save must give back the same entries.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "automation/autofan.h"
#include "diag/debuglog.h"
#include "fuzz_support.h"
#include "support/configfile.h"

namespace {

void check(bool ok, const char* what) {
    fuzz_check(ok, "autofan", what);
}

// A Winbond chip with two duties and two clock selects, an ITE chip with three duties and the
// software fan switch, and the port-80h display: five entries, sections ID1.0-1 and ID2.0-2.
SensorControl winbond[4] = {{CONTROL_PWM, "", 11},
                            {CONTROL_PWM, "", 12},
                            {CONTROL_PWM_FREQ, "", 1},
                            {CONTROL_PWM_FREQ, "", 1}};
SensorControl ite[4] = {{CONTROL_PWM, "", 21},
                        {CONTROL_PWM, "", 22},
                        {CONTROL_PWM, "", 23},
                        {CONTROL_FAN_ENABLE, "", 7}};
SensorControl port80[1] = {{CONTROL_PORT80, "", 0}};
constexpr int kEntries = 5;
constexpr int kKeys = 6 * kEntries;

SensorTable make_table() {
    SensorTable table{};
    table.sensors[0] = {"W83627HF", SENSOR_WINBOND, 3, 7, 3, 4, nullptr, nullptr, nullptr, winbond};
    table.sensors[1] = {"ITE8712F", SENSOR_ITE, 3, 9, 3, 4, nullptr, nullptr, nullptr, ite};
    table.sensors[2] = {"PORT80", SENSOR_PORT80, 0, 0, 0, 1, nullptr, nullptr, nullptr, port80};
    table.count = 3;
    return table;
}

// The entries as a fresh start reads them from the file.
std::vector<AutoFanEntry> load_fresh(SensorTable& table) {
    configfile_reset();
    autofan_reset_state();
    AutoFanList* list = nullptr;
    check(autofan_find(&table, table.count, &list) == kEntries && list, "controls not found");
    autofan_load(list);
    return list->entries;
}

void check_entry(const AutoFanEntry& e) {
    check(e.duty_min <= e.duty_max, "duty range inverted after load");
    check(e.temp_min <= e.temp_max, "temperature range inverted after load");
    int previous = -1;
    for (int32_t t = -5; t <= 130; ++t) {
        const int duty = autofan_duty(e, t);
        check(duty >= e.duty_min && duty <= e.duty_max, "duty outside duty min..duty max");
        check(duty >= previous, "duty falls as the temperature rises");
        if (t < e.temp_min)
            check(duty == e.duty_min, "below temp min the duty is not duty min");
        if (t > e.temp_max)
            check(duty == e.duty_max, "above temp max the duty is not duty max");
        previous = duty;
    }
}

bool same(const AutoFanEntry& a, const AutoFanEntry& b) {
    return a.enabled == b.enabled && a.auto_adjust == b.auto_adjust &&
           a.sensor_type == b.sensor_type && a.control_index == b.control_index &&
           a.duty_min == b.duty_min && a.duty_max == b.duty_max && a.temp_min == b.temp_min &&
           a.temp_max == b.temp_max;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = fuzz_enter_work_dir();
    static SensorTable table = make_table();
    if (!ready)
        return 0;
    {
        std::ofstream out(kAutoFanFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::vector<AutoFanEntry> loaded = load_fresh(table);
    for (const AutoFanEntry& e : loaded)
        check_entry(e);

    AutoFanList list;
    list.entries = loaded;
    check(autofan_save(&list) == kKeys, "save failed");
    const std::vector<AutoFanEntry> again = load_fresh(table);
    check(again.size() == loaded.size(), "entry count changed");
    for (size_t i = 0; i < loaded.size(); ++i)
        check(same(again[i], loaded[i]), "entry changed by save and load");
    std::remove(kDebugLogName);
    return 0;
}
