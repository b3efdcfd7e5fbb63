// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/port80.h"

#include "diag/debuglog.h"
#include "hw/port_io.h"

namespace {

struct Port80State {
    // The byte to show; the update cycle sets it, a detection keeps it.
    SensorControl control{CONTROL_PORT80, "Port80 LED value (0-255)", 0};
};
Port80State state;

}  // namespace

int port80_detect(Sensor* slot) {
    slot->name = "PORT80";
    slot->type = SENSOR_PORT80;
    slot->temperature_count = 0;
    slot->voltage_count = 0;
    slot->fan_count = 0;
    slot->control_count = 1;
    slot->temperatures = nullptr;
    slot->voltages = nullptr;
    slot->fans = nullptr;
    slot->controls = &state.control;
    debug_print("PORT80: Initialized\n");
    return 1;
}

void port80_write() {
    port_out8(state.control.value, PORT80_PORT);
}

void port80_reset_state() {
    state = Port80State{};
}

SensorControl* port80_display(SensorTable& table) {
    Sensor& sensor = table.sensors[sensor_index_of_type(&table, SENSOR_PORT80)];
    return sensor.type == SENSOR_PORT80 ? sensor.controls : nullptr;
}
