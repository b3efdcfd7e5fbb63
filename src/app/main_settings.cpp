#include "app/main_settings.h"

#include "support/configfile.h"

namespace {

void read_int(const char* section, const char* key, int32_t& value) {
    configfile_read(kMainSettingsFile, section, key, &value, CONFIG_INT);
}

void write_int(const char* section, const char* key, int32_t value) {
    configfile_write(kMainSettingsFile, section, key, &value, CONFIG_INT);
}

void write_byte(const char* section, const char* key, uint8_t value) {
    configfile_write(kMainSettingsFile, section, key, &value, CONFIG_BYTE);
}

bool outside(int32_t v, int32_t low, int32_t high) {
    return v < low || v > high;
}

}  // namespace

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
}

void apply_load_rules(MainSettings& s, const std::function<int32_t()>& current_fsb) {
    if (outside(s.load_update, 1, 60))
        s.load_update = 5;
    if (outside(s.min_fsb, 50, 300))
        s.min_fsb = current_fsb();
    if (outside(s.max_fsb, 50, 300))
        s.max_fsb = current_fsb();
    if (s.max_fsb < s.min_fsb)
        s.max_fsb = s.min_fsb = current_fsb();
    if (outside(s.max_load, 10, 95))
        s.max_load = 90;
    if (outside(s.min_load, 5, 90))
        s.min_load = 10;
    if (outside(s.max_delay, 5, 90))
        s.max_delay = 15;
    if (outside(s.min_delay, 5, 90))
        s.min_delay = 30;
    if (outside(s.max_temp, 20, 65))
        s.max_temp = 45;
}

int32_t validated_update(int32_t update) {
    return outside(update, 0, 60) ? 5 : update;
}

void save_main_settings(const SavedSettings& v) {
    const MainSettings& s = v.main;
    write_int("Main", "Board", v.board);
    write_int("Main", "Reset", s.reset);
    write_int("Main", "LoadUpdate", s.load_update);
    write_int("Main", "Minimized", s.minimized);
    write_int("AutoFSB", "Enable", s.autofsb_enable);
    write_int("AutoFSB", "MaxFSB", s.max_fsb);
    write_int("AutoFSB", "MinFSB", s.min_fsb);
    write_int("AutoFSB", "MaxLoad", s.max_load);
    write_int("AutoFSB", "MinLoad", s.min_load);
    write_int("AutoFSB", "MaxDelay", s.max_delay);
    write_int("AutoFSB", "MinDelay", s.min_delay);
    write_int("AutoFSB", "DelayChange", s.delay_change);
    write_int("AutoFSB", "MaxTemp", s.max_temp);
    write_int("AutoFSB", "DownMT", s.down_mt);
    write_int("Sensor", "Update", s.update);
    write_int("Sensor", "Port80", s.port80);
    write_int("Sensor", "Port80Type", s.port80_type);
    write_int("AutoFAN", "Enable", s.autofan_enable);
    write_int("Chipset", "Load", v.chipset_load);
    write_byte("Chipset", "AutoPrecharge", v.auto_precharge);
    write_byte("Chipset", "StpGnt", v.stpgnt);
    write_byte("Chipset", "AGPSB", v.agp_sba);
    write_byte("Chipset", "AGPAP", v.agp_aperture);
    write_byte("Chipset", "PCIBusLatency", v.pci_bus_latency);
    write_byte("Chipset", "AGPBusLatency", v.agp_bus_latency);
    write_byte("Chipset", "AGPCtrLatency", v.agp_ctr_latency);
}
