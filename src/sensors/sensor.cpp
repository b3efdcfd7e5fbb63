// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/sensor.h"

#include "diag/debuglog.h"
#include "sensors/ite.h"
#include "sensors/lm90.h"
#include "sensors/port80.h"
#include "sensors/smi.h"
#include "sensors/winbond.h"

namespace {

// One hardware-monitor driver: detect fills the given slot and answers 1 found / 0 not found;
// read refreshes the driver's arrays and control values; write programs the chip from the
// control values. An operation a driver does not have (the port-80h display reads nothing)
// is skipped.
struct SensorDriver {
    uint8_t type;
    int (*detect)(Sensor* slot);
    void (*read)();
    void (*write)();
};

// In detection order. Winbond and ITE probe the same port pair, so at most one of them is
// found, and when one is, it sits at index 0.
constexpr SensorDriver kDrivers[kSensorSlots] = {
    {SENSOR_WINBOND, winbond_detect, winbond_read, winbond_write},
    {SENSOR_ITE, ite_detect, ite_read, ite_write},
    {SENSOR_PORT80, port80_detect, nullptr, port80_write},
    {SENSOR_LM90, lm90_detect, lm90_read, lm90_write},
    {SENSOR_SMI, smi_sensor_detect, smi_sensor_read, smi_sensor_write},
};

const SensorDriver* driver_of_type(uint8_t type) {
    for (const SensorDriver& driver : kDrivers)
        if (driver.type == type)
            return &driver;
    return nullptr;
}

struct SensorState {
    SensorTable table{};
    uint32_t left_to_kernel = 0;  // bit per sensor type
};
SensorState state;

}  // namespace

SensorTable& sensor_table() {
    return state.table;
}

int sensors_detect(SensorTable* table) {
    if (!table)
        return 0;
    table->count = 0;
    for (const SensorDriver& driver : kDrivers) {
        if (!driver.detect || (state.left_to_kernel >> driver.type & 1))
            continue;
        table->sensors[table->count].never_read = nullptr;  // a driver that tracks sets it
        table->count += driver.detect(&table->sensors[table->count]);
    }
    debug_print("SENSOR: Found %d sensor(s)\n", table->count);
    return table->count;
}

void sensors_read_all(SensorTable* table) {
    for (int i = 0; table && i < table->count; ++i) {
        const SensorDriver* driver = driver_of_type(table->sensors[i].type);
        if (driver && driver->read)
            driver->read();
    }
}

void sensors_write_controls(SensorTable* table) {
    for (int i = 0; table && i < table->count; ++i) {
        const SensorDriver* driver = driver_of_type(table->sensors[i].type);
        if (driver && driver->write)
            driver->write();
    }
}

int sensor_index_of_type(const SensorTable* table, uint8_t type) {
    if (!table)
        return 0;
    for (int i = 0; i < table->count; ++i)
        if (table->sensors[i].type == type)
            return i;
    return 0;
}

int sensor_input_count(const Sensor* s, SensorReading kind) {
    if (!s)
        return 0;
    switch (kind) {
        case SensorReading::Temperature:
            return s->temperatures ? s->temperature_count : 0;
        case SensorReading::Voltage:
            return s->voltages ? s->voltage_count : 0;
        case SensorReading::Fan:
            return s->fans ? s->fan_count : 0;
    }
    return 0;
}

const Sensor* sensor_for_pair(const SensorTable& table, uint8_t type, uint8_t channel,
                              SensorReading kind) {
    if (type == SENSOR_NONE)
        return nullptr;
    const int index = sensor_index_of_type(&table, type);
    if (index >= table.count)
        return nullptr;
    const Sensor& sensor = table.sensors[index];
    // The lookup's 0 also stands for "no such type": only a sensor of the type itself will do.
    if (sensor.type != type)
        return nullptr;
    return channel < sensor_input_count(&sensor, kind) ? &sensor : nullptr;
}

void sensors_leave_to_kernel(uint8_t type) {
    state.left_to_kernel |= 1u << type;
}

void sensors_reset_state() {
    state = SensorState{};
}

uint8_t sensor_pwm_value(uint8_t sensor_type, uint8_t duty) {
    if (sensor_type == SENSOR_ITE && duty > kItePwmFullSpeed)
        return kItePwmFullSpeed;
    return duty;
}
