// SPDX-License-Identifier: GPL-2.0-or-later
// One tick of the sensor update cycle, with a window or without one: the chips read, the
// alarms, the history sample and the CSV log, AutoFSB's over-temperature arming, one AutoFAN
// step, the port-80h display, and the controls written back.
#include <cmath>
#include <ctime>
#include <memory>

#include "app/session.h"
#include "automation/autofan.h"
#include "automation/cpuload.h"
#include "diag/debuglog.h"
#include "diag/number_text.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "sensors/port80.h"
#include "sensors/sensor_display.h"

namespace {
const char* const kArrow = " \xE2\x86\x92 ";  // " → "
}  // namespace

bool Session::FindSensors() {
    sensor_count = sensors_detect(&sensor_table());
    if (sensor_count == 0)
        debug_print("VELMORA: No sensors found.\n");
    return sensor_count != 0;
}

// A later pass (another board) lists them afresh.
bool Session::FindFans() {
    const bool fans = autofan_find(&sensor_table(), sensor_count, &autofan_list) > 0;
    if (fans)
        autofan_load(autofan_list);
    return fans;
}

void Session::SensorCycle(bool timer_tick) {
    try {
        sensors_read_all(&sensor_table());
        sensors_read_once = true;
    } catch (const PortAccessLost&) {
        // The readings stay as they were; the tick goes on with them.
        view_.port_access_lost();
    }
    // After the reads: a port grant got back read the settings again.
    const TickSwitches switches = view_.tick_switches();
    // A CPU temperature nobody reads is unknown to the controllers, not the last value.
    const SensorFields fields = sensor_fields(sensor_table(), sensor_map);
    cpu_temperature_known = fields.have_cpu_temperature;
    if (fields.have_cpu_temperature)
        cpu_temperature = fields.cpu_temperature;
    view_.show_readings(fields);
    CheckAlarms(switches);
    view_.show_tick();
    RecordHistory(switches);
    ArmOverTemperature(switches);
    if (timer_tick && switches.autofan && autofan_list)
        // An unknown temperature is no reading: the fans run at full speed.
        autofan_update(autofan_list, &sensor_table(), cpu_temperature_known ? cpu_temperature : 0);
    if (switches.port80)
        ShowPort80Temperature(switches.port80_pair);
    if (switches.autofan || switches.port80)
        sensors_write_controls(&sensor_table());
}

// A CPU or SYS temperature that passes its limit is told once, and its field stays red until
// the reading has fallen 3 °C below the limit.
void Session::CheckAlarms(const TickSwitches& switches) {
    int sys = 0;
    const bool sys_known = sensor_pair_temperature(sensor_table(), sensor_map, 1, &sys);
    const struct {
        const char* item;
        int limit;
        bool known;
        int reading;
    } items[2] = {{"CPU", switches.cpu_limit, cpu_temperature_known, cpu_temperature},
                  {"SYS", switches.sys_limit, sys_known, sys}};
    for (int i = 0; i < 2; ++i) {
        const auto& item = items[i];
        Alarm& alarm = alarms_[i];
        alarm.limit = item.limit;
        switch (alarm_step(alarm, item.known, item.reading)) {
            case AlarmChange::None:
                break;
            case AlarmChange::Raised:
                debug_print("ALARM: %s temperature %d \u00B0C passed its limit of %d \u00B0C\n",
                            item.item, item.reading, alarm.limit);
                view_.show_alarm(i, std::string(item.item) + " temperature " +
                                        whole_text(item.reading) +
                                        " \u00B0C is above its limit of " +
                                        whole_text(alarm.limit) + " \u00B0C");
                break;
            case AlarmChange::Rearmed:
                view_.clear_alarm(i);
                break;
        }
    }
}

// One sample per tick, as the main tab shows it. The history begins with the first reading.
void Session::RecordHistory(const TickSwitches& switches) {
    view_.history_settings();
    if (!history) {
        history = std::make_unique<History>();
        history_marked_fsb_ = values_applied.fsb;
        history_marked_vcore_ = values_applied.vcore;
        view_.history_started();
    }
    const HistoryValues values =
        history_values(sensor_fields(sensor_table(), sensor_map), values_applied.fsb,
                       cpu_multiplier, cpu_load.load());
    const uint32_t period_ms = static_cast<uint32_t>(switches.update_seconds) * 1000u;
    history->add(current_clock().now_ms(), values, period_ms);
    if (history_csv.append(std::time(nullptr), values))
        view_.show_status("CSV log refused: velmora.deb says why.");
    // Between actions the marks start from what the board runs now.
    if (!view_.action_running()) {
        history_marked_fsb_ = values_applied.fsb;
        history_marked_vcore_ = values_applied.vcore;
    }
    view_.history_changed();
}

// After an Apply, a preset or an AutoFSB run: what it changed of the FSB and the core voltage.
void Session::MarkHistoryChanges() {
    if (!history)
        return;
    const uint32_t now = current_clock().now_ms();
    if (values_applied.fsb != history_marked_fsb_ && history_marked_fsb_ > 0 &&
        values_applied.fsb > 0)
        history->mark(now, HISTORY_FSB,
                      "FSB " + whole_text(history_marked_fsb_) + kArrow +
                          whole_text(values_applied.fsb) + " MHz");
    if (std::lround(values_applied.vcore * 1000) != std::lround(history_marked_vcore_ * 1000) &&
        history_marked_vcore_ > 0.0 && values_applied.vcore > 0.0)
        history->mark(now, HISTORY_VCORE,
                      "Vcore " + fixed_text(history_marked_vcore_, 3) + kArrow +
                          fixed_text(values_applied.vcore, 3) + " V");
    history_marked_fsb_ = values_applied.fsb;
    history_marked_vcore_ = values_applied.vcore;
    view_.history_changed();
}

// On every sensor tick, AutoFSB enabled or not: a CPU above the temperature ceiling arms the
// way down, which the down timer then serves.
void Session::ArmOverTemperature(const TickSwitches& switches) {
    // An up-run stepping ends after its current step once the CPU reaches the ceiling.
    if (autofsb_run_active && (!cpu_temperature_known || cpu_temperature >= settings.max_temp))
        autofsb.hot_during_run = 1;
    if (cpu_temperature_known && cpu_temperature > settings.max_temp &&
        switches.down_on_temperature && autofsb.down_armed == 0 &&
        values_applied.fsb != settings.min_fsb) {
        autofsb.down_armed = 1;
        view_.show_status("AutoFSB: max. CPU temp reached");
        debug_print("VELMORA: AutoFSB: max. CPU temp reached\n");
    }
}

// The chosen temperature in two decimal digits on the POST-code display (45 degrees: 0x45).
// A pair that selects no temperature leaves the display's byte as it was.
void Session::ShowPort80Temperature(int pair) {
    int t = 0;
    if (!sensor_pair_temperature(sensor_table(), sensor_map, pair == 1 ? 1 : 0, &t))
        return;
    if (SensorControl* display = port80_display(sensor_table()))
        display->value = static_cast<uint8_t>((t % 10) | ((t / 10) << 4));
}

// Only with a board in use, and only once the controls hold what the chips were read to hold:
// a write of never-read values would program the chips with zeros.
void Session::LeaveSensorsSafe() {
    if (board_number == NO_BOARD || !sensors_read_once)
        return;
    SensorTable& table = sensor_table();
    if (SensorControl* display = port80_display(table))
        display->value = 255;
    for (int i = 0; i < table.count; ++i) {
        Sensor& sensor = table.sensors[i];
        for (int c = 0; sensor.controls && c < sensor.control_count; ++c)
            if (sensor.controls[c].kind == CONTROL_PWM)
                sensor.controls[c].value = sensor_pwm_value(sensor.type, 255);
    }
    // Already covered by the loop above; keeps AutoFAN's own view of its controls in step.
    autofan_full_speed(autofan_list, &table);
    sensors_write_controls(&table);
}

void Session::AutoFanSwitchedOff() {
    if (board_number != NO_BOARD && sensors_read_once &&
        autofan_release(autofan_list, &sensor_table()) > 0) {
        debug_print("VELMORA: AutoFAN disabled, its fans at full speed\n");
        sensors_write_controls(&sensor_table());
    }
}
