// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/isa_monitor.h"

#include "hw/port_io.h"

void hwmon_write_register(uint8_t reg, uint8_t value) {
    port_out8(reg, HWMON_INDEX_PORT);
    port_out8(value, HWMON_DATA_PORT);
}

uint8_t hwmon_read_register(uint8_t reg) {
    port_out8(reg, HWMON_INDEX_PORT);
    return port_in8(HWMON_DATA_PORT);
}

uint8_t hwmon_chip_id() {
    return hwmon_read_register(HWMON_REG_CHIPID);
}

uint16_t fan_rpm_from_count(uint32_t count, uint32_t divisor) {
    // 64 bits: a 16-bit count times a large divisor does not fit in 32.
    uint64_t product = uint64_t{count} * divisor;
    if (product == 0)
        return 0;
    const uint64_t rpm = HWMON_FAN_CLOCK_RPM / product;
    return rpm > 0xFFFF ? uint16_t{0xFFFF} : static_cast<uint16_t>(rpm);
}

uint16_t fan_count_to_rpm(uint16_t count, uint8_t exponent) {
    if (count == HWMON_FAN8_OVERFLOW || exponent >= 32)
        return 0;
    return fan_rpm_from_count(count, uint32_t{1} << exponent);
}
