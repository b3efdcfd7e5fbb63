// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/autofan.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "diag/debuglog.h"
#include "sensors/fan_failsafe.h"
#include "sensors/ite.h"
#include "sensors/winbond.h"
#include "support/configfile.h"
#include "support/whole_number.h"

namespace {

AutoFanList& module_list() {
    static AutoFanList list;
    return list;
}

// Readings outside 1..126 degrees are a failed read, not a temperature: an unmapped CPU item
// gives 0, an open diode -128, a saturated one 127.
bool plausible(int32_t t) {
    return t > 0 && t < 127;
}

std::string section_of(const AutoFanEntry& e) {
    char name[16];
    std::snprintf(name, sizeof name, "ID%d.%d", e.sensor_type, e.control_index);
    return name;
}

// The detected sensor of the type, nullptr when there is none (the index lookup's 0 also
// stands for "not found").
Sensor* sensor_of(SensorTable* sensors, uint8_t type) {
    if (!sensors || sensors->count <= 0)
        return nullptr;
    Sensor& s = sensors->sensors[sensor_index_of_type(sensors, type)];
    return s.type == type ? &s : nullptr;
}

void set_switch(Sensor* s, uint8_t value) {
    for (int c = 0; s && s->controls && c < s->control_count; ++c)
        if (s->controls[c].kind == CONTROL_FAN_ENABLE)
            s->controls[c].value = value;
}

}  // namespace

int autofan_find(SensorTable* sensors, int sensor_count, AutoFanList** out) {
    AutoFanList& list = module_list();
    list = AutoFanList{};
    if (out)
        *out = &list;
    if (!sensors || sensor_count <= 0 || !out)
        return 0;
    const int detected = std::min({sensor_count, static_cast<int>(sensors->count), kSensorSlots});
    for (int i = 0; i < detected; ++i) {
        const Sensor& s = sensors->sensors[i];
        for (int c = s.controls ? s.control_count - 1 : -1; c >= 0; --c) {
            if (s.controls[c].kind != CONTROL_PWM)
                continue;
            if (s.controls[c].held_by) {
                debug_print("AUTOFAN: A fan control of %s is %s's, not taken\n", s.name,
                            s.controls[c].held_by);
                continue;
            }
            AutoFanEntry entry;
            entry.sensor_type = s.type;
            entry.control_index = static_cast<uint8_t>(c);
            try {
                list.entries.push_back(entry);
            } catch (const std::bad_alloc&) {
                debug_print("AUTOFAN: realloc() failed!\n");
                list = AutoFanList{};
                return 0;
            }
            debug_print("AUTOFAN: Found fan control %d\n", list.count() - 1);
        }
    }
    return list.count();
}

namespace {
// One key of a section, kept only when it is a whole number that fits the byte it is stored
// in: "nan" or an empty value would otherwise become duty 0 and stop the fan, 256 become 0
// and -40 become 216, values nobody wrote. The field then keeps its value (a duty its default
// of full speed). Result 1 when taken.
int read_byte_key(const char* section, const char* key, uint8_t& field) {
    char text[kConfigValueBuffer] = {};
    if (configfile_read(kAutoFanFile, section, key, text, CONFIG_TEXT) == 0)
        return 0;
    int32_t value = 0;
    if (!parse_whole_number(text, value)) {
        debug_print("AUTOFAN: %s=%s in [%s] of autofan.ini is not a whole number, value kept\n",
                    key, log_excerpt(text), section);
        return 0;
    }
    if (value < 0 || value > 255) {
        debug_print("AUTOFAN: %s=%d in [%s] of autofan.ini out of range 0 to 255, value kept\n",
                    key, value, section);
        return 0;
    }
    field = static_cast<uint8_t>(value);
    return 1;
}
}  // namespace

int autofan_load(AutoFanList* list) {
    if (!list || list->entries.empty())
        return 0;
    int found = 0;
    for (int i = list->count() - 1; i >= 0; --i) {
        AutoFanEntry& e = list->entries[i];
        const std::string section = section_of(e);
        const char* s = section.c_str();
        found += read_byte_key(s, "enabled", e.enabled);
        found += read_byte_key(s, "auto_adjust", e.auto_adjust);
        found += read_byte_key(s, "duty_min", e.duty_min);
        found += read_byte_key(s, "duty_max", e.duty_max);
        found += read_byte_key(s, "temp_min", e.temp_min);
        found += read_byte_key(s, "temp_max", e.temp_max);
        // An inverted range would stop the fan at every temperature; the file keeps what
        // the user wrote until the next save.
        e.duty_max = std::max(e.duty_max, e.duty_min);
        e.temp_min = std::min(e.temp_min, e.temp_max);
    }
    debug_print("AUTOFAN: Loaded %d settings\n", found);
    return found;
}

int autofan_save(const AutoFanList* list) {
    if (!list || list->entries.empty())
        return 0;
    std::vector<std::string> sections;
    for (int i = list->count() - 1; i >= 0; --i)
        sections.push_back(section_of(list->entries[i]));
    std::vector<ConfigEdit> edits;
    for (int i = list->count() - 1, n = 0; i >= 0; --i, ++n) {
        const AutoFanEntry& e = list->entries[i];
        const char* s = sections[n].c_str();
        edits.push_back({s, "enabled", &e.enabled, CONFIG_BYTE});
        edits.push_back({s, "auto_adjust", &e.auto_adjust, CONFIG_BYTE});
        edits.push_back({s, "duty_min", &e.duty_min, CONFIG_BYTE});
        edits.push_back({s, "duty_max", &e.duty_max, CONFIG_BYTE});
        edits.push_back({s, "temp_min", &e.temp_min, CONFIG_BYTE});
        edits.push_back({s, "temp_max", &e.temp_max, CONFIG_BYTE});
    }
    const int written = configfile_write_many(kAutoFanFile, edits.data(), edits.size()) == 1
                            ? static_cast<int>(edits.size())
                            : 0;
    debug_print("AUTOFAN: Saved %d settings\n", written);
    return written;
}

uint8_t autofan_duty(const AutoFanEntry& e, int32_t t) {
    const int duty_min = e.duty_min, duty_max = e.duty_max;
    const int temp_min = e.temp_min, temp_max = e.temp_max;
    int duty;
    if (temp_max == temp_min) {
        duty = duty_max;
    } else {
        // Half a step is added to the whole-number slope, so the line reaches duty max a
        // little before temp max.
        const int slope = (duty_max - duty_min) / (temp_max - temp_min);
        duty = static_cast<int>((slope + 0.5) * (t - temp_min) + duty_min);
    }
    if (duty < duty_min || t < temp_min)
        duty = duty_min;
    if (duty > duty_max || t > temp_max)
        duty = duty_max;
    return static_cast<uint8_t>(std::clamp(duty, 0, 255));
}

SensorControl* autofan_control(const AutoFanEntry& e, SensorTable* sensors) {
    Sensor* s = sensor_of(sensors, e.sensor_type);
    if (!s || !s->controls || e.control_index >= s->control_count)
        return nullptr;
    return &s->controls[e.control_index];
}

void autofan_set_enable_controls(const AutoFanList* list, SensorTable* sensors, int entry,
                                 uint8_t value) {
    if (!list || entry < 0 || entry >= list->count())
        return;
    set_switch(sensor_of(sensors, list->entries[entry].sensor_type), value);
}

int autofan_update(AutoFanList* list, SensorTable* sensors, int32_t t) {
    if (!list || !sensors)
        return 0;
    const bool trusted = plausible(t);
    if (trusted) {
        list->implausible_reported = false;
    } else if (!list->implausible_reported) {
        debug_print("AUTOFAN: CPU temperature %d not plausible, fans at full speed\n", t);
        list->implausible_reported = true;
    }
    int served = 0;
    for (int i = list->count() - 1; i >= 0; --i) {
        AutoFanEntry& e = list->entries[i];
        if (!e.enabled)
            continue;
        uint8_t duty = trusted ? autofan_duty(e, t) : 255;
        if (e.last_duty >= 0 && e.last_duty < kSpinUpBelow && duty > e.last_duty)
            duty = 255;
        const bool changed = duty != e.last_duty;
        e.last_duty = duty;
        if (SensorControl* control = autofan_control(e, sensors))
            control->value = sensor_pwm_value(e.sensor_type, duty);
        if (e.auto_adjust && trusted) {
            e.temp_max = static_cast<uint8_t>(std::max<int32_t>(e.temp_max, t));
            e.temp_min = static_cast<uint8_t>(std::min<int32_t>(e.temp_min, t));
        }
        // Said when the speed changes, not at every tick: a window left open for a day would
        // otherwise fill the log with the same line.
        if (changed)
            debug_print("AUTOFAN: New speed for fan control %d is %d\n", i, duty);
        ++served;
    }
    // A chip's software fan switch is on while any of its controls is driven here, whichever
    // entry that is.
    for (const AutoFanEntry& e : list->entries) {
        const bool driven =
            std::any_of(list->entries.begin(), list->entries.end(), [&](const AutoFanEntry& other) {
                return other.sensor_type == e.sensor_type && other.enabled;
            });
        set_switch(sensor_of(sensors, e.sensor_type), driven ? 1 : 0);
    }
    autofan_arm_failsafe(list, sensors);
    return served;
}

int autofan_full_speed(AutoFanList* list, SensorTable* sensors) {
    if (!list || !sensors)
        return 0;
    for (int i = list->count() - 1; i >= 0; --i)
        if (SensorControl* control = autofan_control(list->entries[i], sensors)) {
            control->value = sensor_pwm_value(list->entries[i].sensor_type, 255);
            list->entries[i].last_duty = 255;
        }
    return 1;
}

void autofan_arm_failsafe(const AutoFanList* list, const SensorTable* sensors) {
    PortWrite writes[kFailsafeMaxWrites];
    int count = 0;
    for (size_t i = 0; list && sensors && i < list->entries.size(); ++i) {
        const AutoFanEntry& e = list->entries[i];
        if (!e.enabled || count + 4 > kFailsafeMaxWrites)
            continue;
        if (e.sensor_type == SENSOR_WINBOND)
            count += winbond_full_speed_writes(e.control_index, writes + count);
        else if (e.sensor_type == SENSOR_ITE)
            count += ite_full_speed_writes(e.control_index, writes + count);
    }
    fan_failsafe_set(writes, count);
}

int autofan_release(AutoFanList* list, SensorTable* sensors) {
    if (!list || !sensors)
        return 0;
    int released = 0;
    for (AutoFanEntry& e : list->entries) {
        SensorControl* control = e.enabled ? autofan_control(e, sensors) : nullptr;
        if (!control)
            continue;
        control->value = sensor_pwm_value(e.sensor_type, 255);
        e.last_duty = 255;
        ++released;
    }
    return released;
}

void autofan_reset_state() {
    module_list() = AutoFanList{};
}
