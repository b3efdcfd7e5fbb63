// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/lm90.h"

#include <algorithm>

#include "diag/debuglog.h"
#include "hw/smbus.h"
#include "sensors/hwmon_files.h"

namespace {

// The chip's registers; reading and writing one setting use different commands.
constexpr uint8_t LM90_REG_R_LOCAL_TEMP = 0x00;
constexpr uint8_t LM90_REG_R_REMOTE_TEMPH = 0x01;
constexpr uint8_t LM90_REG_R_CONVRATE = 0x04;
constexpr uint8_t LM90_REG_W_CONVRATE = 0x0A;
constexpr uint8_t LM90_REG_R_MAN_ID = 0xFE;
constexpr uint8_t LM90_REG_R_CHIP_ID = 0xFF;  // die revision

constexpr uint8_t LM90_MAN_ID = 0x01;
constexpr uint8_t LM90_CHIP_FAMILY_MASK = 0xF0;
constexpr uint8_t LM99_CHIP_FAMILY = 0x30;
constexpr int kLm99RemoteOffset = 16;
constexpr uint8_t LM90_MAX_CONVRATE = 9;  // 32 conversions per second

constexpr int kRemoteTemp = 0;
constexpr int kLocalTemp = 1;

struct Lm90State {
    uint8_t bus = 0;  // the host the chip answered on
    int8_t temperatures[2] = {};
    SensorControl control{CONTROL_OTHER,
                          "Conversion rate (0-9):\nRate = 62.5mHz * 2^value\n00 = 62.5mHz\n"
                          "09 = 32Hz",
                          0};
    // Whether the control has held the chip's rate since detection; until then a write would
    // push an arbitrary value over it.
    bool rate_read = false;
    bool lm99 = false;  // the remote reading needs kLm99RemoteOffset added
    HwmonFiles hwmon;   // the kernel driver's attributes, when it owns the chip
};
Lm90State state;

// The lm90 driver's attributes: temp1_input the local, temp2_input the remote temperature in
// millidegrees (on an LM99 with its 16 degrees already added); update_interval the time
// between conversions in ms, 16000 >> rate for rates 0-9.
constexpr long kSlowestIntervalMs = 16000;

void read_through_hwmon() {
    long value = 0;
    if (hwmon_read(state.hwmon, "temp2_input", value))
        state.temperatures[kRemoteTemp] =
            static_cast<int8_t>(std::min(hwmon_whole_degrees(value), 127));
    if (hwmon_read(state.hwmon, "temp1_input", value))
        state.temperatures[kLocalTemp] = static_cast<int8_t>(hwmon_whole_degrees(value));
    if (hwmon_read(state.hwmon, "update_interval", value) && value > 0) {
        uint8_t rate = 0;
        while (rate < LM90_MAX_CONVRATE && (kSlowestIntervalMs >> (rate + 1)) >= value)
            ++rate;
        state.control.value = rate;
        state.rate_read = true;
    }
}

bool answers_on(uint8_t bus) {
    if (smbus_read_byte(bus, LM90_ADDRESS, LM90_REG_R_MAN_ID) != LM90_MAN_ID)
        return false;
    const uint8_t rev = smbus_read_byte(bus, LM90_ADDRESS, LM90_REG_R_CHIP_ID);
    // The same maker's LM99 (and LM89) answer 0x3x: its remote reading runs 16 degrees low,
    // since its diode model is another CPU's, so 16 is added as the kernel's driver does.
    state.lm99 = (rev & LM90_CHIP_FAMILY_MASK) == LM99_CHIP_FAMILY;
    if (state.lm99) {
        debug_print(
            "LM90: Found an LM99 (rev: %x) on Bus %d, 16 degrees added to its CPU "
            "reading\n",
            rev, bus);
        return true;
    }
    debug_print(bus == 0 ? "LM90: Found an LM90 (rev: %x) on Bus 0\n"
                         : "LM90: Found an LM90 (rev: %x) on Bus 1\n",
                rev);
    return true;
}

// Takes the register's byte only when the transaction completed.
template <typename T>
bool read_into(uint8_t command, T& target) {
    uint8_t value = 0;
    if (!smbus_read_byte_checked(state.bus, LM90_ADDRESS, command, value))
        return false;
    target = static_cast<T>(value);
    return true;
}

}  // namespace

int lm90_detect(Sensor* slot) {
    slot->name = "LM90";
    slot->type = SENSOR_LM90;
    slot->temperature_count = 2;
    slot->voltage_count = 0;
    slot->fan_count = 0;
    slot->control_count = 1;
    slot->temperatures = state.temperatures;
    slot->voltages = nullptr;
    slot->fans = nullptr;
    slot->controls = &state.control;
    if (state.hwmon.active()) {
        debug_print(state.lm99 ? "LM90: Found an LM99 through the kernel's driver\n"
                               : "LM90: Found an LM90 through the kernel's driver\n");
        state.rate_read = false;
        return 1;
    }
    for (uint8_t bus = 0; bus < SMBUS_HOST_COUNT; ++bus) {
        if (answers_on(bus)) {
            state.bus = bus;
            state.rate_read = false;
            return 1;
        }
    }
    return 0;
}

void lm90_read() {
    if (state.hwmon.active()) {
        read_through_hwmon();
        return;
    }
    int8_t remote = 0;
    if (read_into(LM90_REG_R_REMOTE_TEMPH, remote))
        state.temperatures[kRemoteTemp] =
            state.lm99 ? static_cast<int8_t>(std::min(remote + kLm99RemoteOffset, 127)) : remote;
    read_into(LM90_REG_R_LOCAL_TEMP, state.temperatures[kLocalTemp]);
    if (read_into(LM90_REG_R_CONVRATE, state.control.value))
        state.rate_read = true;
}

void lm90_write() {
    if (state.control.value > LM90_MAX_CONVRATE)
        state.control.value = LM90_MAX_CONVRATE;
    if (!state.rate_read)
        return;
    if (state.hwmon.active()) {
        hwmon_write(state.hwmon, "update_interval", kSlowestIntervalMs >> state.control.value);
        return;
    }
    smbus_write_byte(state.bus, LM90_ADDRESS, LM90_REG_W_CONVRATE, state.control.value);
}

bool lm90_use_hwmon(int index, const std::string& name) {
    if (name != "lm90" && name != "lm99")
        return false;
    hwmon_open(state.hwmon, index, {"temp1_input", "temp2_input", "update_interval"});
    state.lm99 = name == "lm99";
    return true;
}

void lm90_reset_state() {
    hwmon_close(state.hwmon);
    state = Lm90State{};
}
