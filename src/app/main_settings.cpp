// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/main_settings.h"

#include <climits>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "diag/debuglog.h"
#include "support/configfile.h"
#include "support/whole_number.h"

namespace {

void read_int(const char* section, const char* key, int32_t& value) {
    read_whole_number(section, key, value);
}

bool outside(int32_t v, int32_t low, int32_t high) {
    return v < low || v > high;
}

}  // namespace

bool read_whole_number(const char* section, const char* key, int32_t& value) {
    char text[kConfigValueBuffer] = {};
    if (!configfile_read(kMainSettingsFile, section, key, text, CONFIG_TEXT))
        return false;
    if (parse_whole_number(text, value))
        return true;
    debug_print("VELMORA: %s=%s in [%s] of config.ini is not a whole number, not taken\n", key,
                log_excerpt(text), section);
    return false;
}

void load_main_settings(MainSettings& s) {
    s = MainSettings{};
    read_int("Main", "Reset", s.reset);
    read_int("Main", "LoadUpdate", s.load_update);
    read_int("Main", "Minimized", s.minimized);
    read_int("AutoFSB", "Enable", s.autofsb_enable);
    read_int("AutoFSB", "MaxFSB", s.max_fsb);
    read_int("AutoFSB", "MinFSB", s.min_fsb);
    read_int("AutoFSB", "MaxLoad", s.max_load);
    read_int("AutoFSB", "MinLoad", s.min_load);
    read_int("AutoFSB", "MaxDelay", s.max_delay);
    read_int("AutoFSB", "MinDelay", s.min_delay);
    read_int("AutoFSB", "DelayChange", s.delay_change);
    read_int("AutoFSB", "MaxTemp", s.max_temp);
    read_int("AutoFSB", "DownMT", s.down_mt);
    read_int("Sensor", "Update", s.update);
    read_int("Sensor", "Port80", s.port80);
    read_int("Sensor", "Port80Type", s.port80_type);
    read_int("AutoFAN", "Enable", s.autofan_enable);
    // Only from a file the reads above found: a missing config.ini was said by each of them.
    char csv_file[kConfigValueBuffer] = {};
    if (!configfile_held_text().empty() &&
        configfile_value_length(kMainSettingsFile, "History", "CsvFile") >= kConfigValueBuffer) {
        // Cut to what fits it would name another file: no CSV log, and the key stays as written.
        debug_print(
            "VELMORA: CsvFile in [History] of config.ini is longer than %d bytes, readings not "
            "logged\n",
            static_cast<int>(kConfigValueBuffer - 1));
        s.csv_file_too_long = true;
    } else if (!configfile_held_text().empty() &&
               configfile_read(kMainSettingsFile, "History", "CsvFile", csv_file, CONFIG_TEXT)) {
        s.csv_file = csv_file;
        s.csv_file_stored = true;
    }
    if (!configfile_held_text().empty()) {
        for (auto [key, limit] :
             {std::pair{"CpuLimit", &s.cpu_limit}, std::pair{"SysLimit", &s.sys_limit}}) {
            if (!configfile_read(kMainSettingsFile, "Alarms", key, nullptr, CONFIG_INT))
                continue;
            s.alarms_stored = true;
            int32_t value = 0;
            if (!read_whole_number("Alarms", key, value))
                continue;
            if (outside(value, 0, kAlarmLimitTop)) {
                debug_print(
                    "VELMORA: %s=%d in [Alarms] of config.ini out of range 0 to %d, "
                    "alarm off\n",
                    key, value, kAlarmLimitTop);
                value = 0;
            }
            *limit = value;
        }
    }
}

// A stored value outside its range is replaced, and the log says so: every default is inside,
// so what is outside came from the file.
void apply_load_rules(MainSettings& s, const std::function<int32_t()>& current_fsb) {
    auto rule = [](const char* key, int32_t& value, int32_t low, int32_t high,
                   const std::function<int32_t()>& replacement) {
        if (!outside(value, low, high))
            return;
        const int32_t taken = replacement();
        debug_print("VELMORA: %s=%d in config.ini out of range %d to %d, %d taken\n", key, value,
                    low, high, taken);
        value = taken;
    };
    auto fixed = [](int32_t v) { return [v] { return v; }; };
    rule("LoadUpdate", s.load_update, 1, 60, fixed(5));
    rule("MinFSB", s.min_fsb, 50, 300, current_fsb);
    rule("MaxFSB", s.max_fsb, 50, 300, current_fsb);
    if (s.max_fsb < s.min_fsb) {
        const int32_t fsb = current_fsb();
        debug_print("VELMORA: MaxFSB=%d below MinFSB=%d in config.ini, both %d taken\n", s.max_fsb,
                    s.min_fsb, fsb);
        s.max_fsb = s.min_fsb = fsb;
    }
    rule("MaxLoad", s.max_load, 10, 95, fixed(90));
    rule("MinLoad", s.min_load, 5, 90, fixed(10));
    rule("MaxDelay", s.max_delay, 5, 90, fixed(15));
    rule("MinDelay", s.min_delay, 5, 90, fixed(30));
    rule("MaxTemp", s.max_temp, 20, 65, fixed(45));
    // The step delay of an AutoFSB run: one of the list's three (Fast, Medium, Slow). Any other
    // number would be slept between FSB steps as it stands, up to 24.8 days.
    if (s.delay_change != 0 && s.delay_change != 1000 && s.delay_change != 2500) {
        debug_print(
            "VELMORA: DelayChange %d in config.ini is not 0, 1000 or 2500, 0 (Fast) taken\n",
            s.delay_change);
        s.delay_change = 0;
    }
}

int32_t validated_update(int32_t update) {
    return outside(update, 0, 60) ? 5 : update;
}

void keep_stored_board_settings(SavedSettings& v) {
    auto keep = [](const char* section, const char* key, int32_t& value) {
        int32_t stored = 0;
        if (read_whole_number(section, key, stored))
            value = stored;
    };
    // Byte keys are taken only as bytes: a number past 255 keeps the value in `saved`.
    auto keep_byte = [](const char* key, uint8_t& value) {
        int32_t stored = 0;
        if (read_whole_number("Chipset", key, stored) && stored >= 0 && stored <= 255)
            value = static_cast<uint8_t>(stored);
    };
    keep("AutoFSB", "DownMT", v.main.down_mt);
    keep("Sensor", "Update", v.main.update);
    keep("Sensor", "Port80", v.main.port80);
    keep("Sensor", "Port80Type", v.main.port80_type);
    keep("AutoFAN", "Enable", v.main.autofan_enable);
    keep("Chipset", "Load", v.chipset_load);
    keep_byte("AutoPrecharge", v.auto_precharge);
    keep_byte("StpGnt", v.stpgnt);
    keep_byte("AGPSB", v.agp_sba);
    keep_byte("AGPAP", v.agp_aperture);
    keep_byte("PCIBusLatency", v.pci_bus_latency);
    keep_byte("AGPBusLatency", v.agp_bus_latency);
    keep_byte("AGPCtrLatency", v.agp_ctr_latency);
}

bool save_main_settings(const SavedSettings& v, std::string* failure) {
    const MainSettings& s = v.main;
    auto i = [](const char* section, const char* key, const int32_t& value) {
        return ConfigEdit{section, key, &value, CONFIG_INT};
    };
    auto b = [](const char* section, const char* key, const uint8_t& value) {
        return ConfigEdit{section, key, &value, CONFIG_BYTE};
    };
    const ConfigEdit edits[] = {
        i("Main", "Board", v.board),
        i("Main", "Reset", s.reset),
        i("Main", "LoadUpdate", s.load_update),
        i("Main", "Minimized", s.minimized),
        i("AutoFSB", "Enable", s.autofsb_enable),
        i("AutoFSB", "MaxFSB", s.max_fsb),
        i("AutoFSB", "MinFSB", s.min_fsb),
        i("AutoFSB", "MaxLoad", s.max_load),
        i("AutoFSB", "MinLoad", s.min_load),
        i("AutoFSB", "MaxDelay", s.max_delay),
        i("AutoFSB", "MinDelay", s.min_delay),
        i("AutoFSB", "DelayChange", s.delay_change),
        i("AutoFSB", "MaxTemp", s.max_temp),
        i("AutoFSB", "DownMT", s.down_mt),
        i("Sensor", "Update", s.update),
        i("Sensor", "Port80", s.port80),
        i("Sensor", "Port80Type", s.port80_type),
        i("AutoFAN", "Enable", s.autofan_enable),
        i("Chipset", "Load", v.chipset_load),
        b("Chipset", "AutoPrecharge", v.auto_precharge),
        b("Chipset", "StpGnt", v.stpgnt),
        b("Chipset", "AGPSB", v.agp_sba),
        b("Chipset", "AGPAP", v.agp_aperture),
        b("Chipset", "PCIBusLatency", v.pci_bus_latency),
        b("Chipset", "AGPBusLatency", v.agp_bus_latency),
        b("Chipset", "AGPCtrLatency", v.agp_ctr_latency),
    };
    // The sections added later are written once they hold something or the file has them, so
    // that a config.ini that never used them keeps its bytes.
    std::vector<ConfigEdit> all(std::begin(edits), std::end(edits));
    if (!s.csv_file.empty() || s.csv_file_stored)
        all.push_back(ConfigEdit{"History", "CsvFile", s.csv_file.c_str(), CONFIG_TEXT});
    if (s.cpu_limit != 0 || s.sys_limit != 0 || s.alarms_stored) {
        all.push_back(i("Alarms", "CpuLimit", s.cpu_limit));
        all.push_back(i("Alarms", "SysLimit", s.sys_limit));
    }
    return configfile_write_many(kMainSettingsFile, all.data(), all.size(), failure) == 1;
}
