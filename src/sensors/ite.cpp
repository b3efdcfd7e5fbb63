// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/ite.h"

#include "diag/debuglog.h"
#include "sensors/hwmon_files.h"
#include "sensors/isa_monitor.h"
#include "sensors/winbond.h"

namespace {

constexpr uint8_t IT8712F_CHIP_ID = 0x90;
// 0x90 at 0x58 is also the chip id of a Winbond W83627THF or W83687THF: an IT8712F also
// answers 0x12 at 0x5B, and a Winbond its vendor id.
constexpr uint8_t IT87_REG_CORE_ID = 0x5B;
constexpr uint8_t IT8712F_CORE_ID = 0x12;
// A BIOS that leaves every fan of 0x14 in on/off mode "off" with the PWM polarity active low
// leaves fan control that cannot be trusted: forcing the polarity may stop the fans for good.
constexpr uint8_t IT87_BROKEN_BIOS_MASK = 0x87;

// Environment-controller register numbers, in the datasheet's terms.
constexpr uint8_t IT87_REG_FAN_DIV = 0x0B;    // bits 2-0 fan 1, 5-3 fan 2 exponent; 6 fan 3
constexpr uint8_t IT87_REG_FAN_16BIT = 0x0C;  // bits 2-0: 16-bit counters of fans 1-3
constexpr uint8_t IT87_REG_FAN(int nr) {      // fan counts 1-3 (nr 0-2), low byte
    return static_cast<uint8_t>(0x0D + nr);
}
constexpr uint8_t IT87_REG_FAN_MAIN_CTRL = 0x13;  // bits 2-0: fans 1-3 in PWM mode
constexpr uint8_t IT87_REG_FAN_CTL = 0x14;        // bits 2-0: fans 1-3 on in on/off mode
constexpr uint8_t IT87_REG_PWM(int nr) {          // PWM outputs 1-3
    return static_cast<uint8_t>(0x15 + nr);
}
constexpr uint8_t IT87_REG_FANX(int nr) {  // fan counts 1-3, high byte in 16-bit mode
    return static_cast<uint8_t>(0x18 + nr);
}
constexpr uint8_t IT87_REG_VIN(int nr) {  // VIN0-VIN7 and VBAT, 8-bit ADC counts
    return static_cast<uint8_t>(0x20 + nr);
}
constexpr uint8_t IT87_REG_TEMP(int nr) {  // temperatures 1-3, whole degrees, signed
    return static_cast<uint8_t>(0x29 + nr);
}

constexpr uint8_t IT87_FAN_OUTPUTS = 0x07;       // bits 2-0 of 0x13 and 0x14: fans 1-3
constexpr uint8_t IT87_FAN3_DIV_SELECT = 0x40;   // bit 6: fan 3 divisor 8, else 2
constexpr uint8_t IT87_PWM_AUTOMATIC = 0x80;     // the chip's automatic control
constexpr uint8_t IT87_PWM_DUTY = 0x7F;          // software duty in 128 steps
constexpr uint8_t IT87_PWM_TEMP_INPUT = 0x03;    // automatic mode: temperature input
constexpr uint16_t IT87_FAN16_STOPPED = 0xFFFF;  // 16-bit count of a stopped fan

const char* const kPwmText = "Fan speed control PWM value (0-128)";
const char* const kEnableText = "Enable software fan control (0-1):\n0 = Disabled\n1 = Enabled";

constexpr int kFans = 3;
constexpr int kControls = 4;
constexpr int kSoftwareControl = 3;  // control index of the switch

struct IteState {
    int8_t temperatures[3]{};
    double voltages[9]{};
    uint16_t fans[kFans]{};
    SensorControl controls[kControls]{};
    // Per fan, the temperature input of its automatic control as last seen in the chip.
    uint8_t automatic_input[kFans]{};
    // The BIOS left the fan control broken: nothing is written to the fan registers.
    bool fan_control_broken = false;
    HwmonFiles hwmon;  // the kernel driver's attributes, when it owns the chip
};
IteState state;

// The it87 driver's attributes. Voltages: in_input = count x 16 mV on the IT8712F; temperatures
// in millidegrees; fans in rpm; pwmN the 7-bit duty register doubled (PWM_FROM_REG: (reg &
// 0x7f) << 1, and a written value is halved into it); pwmN_enable 0 full speed (on/off mode), 1
// software duty, 2 the chip's automatic control, whose temperature input pwmN_auto_channels_temp
// names as a bit (1, 2, 4). The driver leaves out every pwm file after a broken BIOS set-up.
constexpr long kIteMillivoltsPerCount = 16;
constexpr long kPwmEnableManual = 1, kPwmEnableAutomatic = 2;

std::string file(const char* kind, int nr, const char* suffix = "") {
    return kind + std::to_string(nr) + suffix;
}

long hwmon_value(const std::string& name) {
    long value = 0;
    hwmon_read(state.hwmon, name, value);
    return value;
}

void read_through_hwmon() {
    for (int i = 0; i < 3; ++i)
        state.temperatures[i] =
            static_cast<int8_t>(hwmon_whole_degrees(hwmon_value(file("temp", i + 1, "_input"))));
    for (int i = 0; i < 9; ++i)
        state.voltages[i] = static_cast<double>(
            (hwmon_value(file("in", i, "_input")) + kIteMillivoltsPerCount / 2) /
            kIteMillivoltsPerCount);
    for (int i = 0; i < kFans; ++i) {
        const long rpm = hwmon_value(file("fan", i + 1, "_input"));
        state.fans[i] = static_cast<uint16_t>(rpm < 0 ? 0 : rpm > 65535 ? 65535 : rpm);
        if (!state.hwmon.has(file("pwm", i + 1)))
            continue;
        if (hwmon_value(file("pwm", i + 1, "_enable")) == kPwmEnableAutomatic) {
            const long channels = hwmon_value(file("pwm", i + 1, "_auto_channels_temp"));
            state.automatic_input[i] = channels == 4 ? 2 : channels == 2 ? 1 : 0;
            state.controls[i].value = IT87_PWM_AUTOMATIC | state.automatic_input[i];
        } else {
            state.controls[i].value =
                static_cast<uint8_t>((hwmon_value(file("pwm", i + 1)) >> 1) & IT87_PWM_DUTY);
        }
    }
}

// A software duty: the fan's output to software control, then the duty doubled (the driver
// halves it into the register). The automatic control: the driver puts back the input it holds.
void write_through_hwmon() {
    for (int i = 0; i < kFans; ++i) {
        const uint8_t value = state.controls[i].value;
        if (value >= IT87_PWM_AUTOMATIC) {
            hwmon_write(state.hwmon, file("pwm", i + 1, "_enable"), kPwmEnableAutomatic);
            continue;
        }
        hwmon_write(state.hwmon, file("pwm", i + 1, "_enable"), kPwmEnableManual);
        hwmon_write(state.hwmon, file("pwm", i + 1), (value & IT87_PWM_DUTY) << 1);
    }
}

// One fan from its low count byte, the high byte when its 16-bit counter is on, and the divisor
// exponent. An 8-bit count of 255 and a 16-bit count of 0 or 0xFFFF are a stopped fan.
constexpr uint32_t kFan16Divisor = 2;

uint16_t read_fan(int nr, uint8_t wide, uint8_t exponent_of(uint8_t)) {
    uint16_t count = hwmon_read_register(IT87_REG_FAN(nr));
    const bool sixteen = wide & (1u << nr);
    if (sixteen)
        count = static_cast<uint16_t>(count | hwmon_read_register(IT87_REG_FANX(nr)) << 8);
    if (!sixteen)
        return fan_count_to_rpm(count, exponent_of(hwmon_read_register(IT87_REG_FAN_DIV)));
    if (count == IT87_FAN16_STOPPED)
        return 0;
    // The 16-bit counters always count with a divisor of 2; 0x0B's divisors are the 8-bit
    // counters' only.
    return fan_rpm_from_count(count, kFan16Divisor);  // 0 gives 0 as well
}

uint8_t fan1_exponent(uint8_t div) {
    return div & 7;
}
uint8_t fan2_exponent(uint8_t div) {
    return (div >> 3) & 7;
}
uint8_t fan3_exponent(uint8_t div) {
    return (div & IT87_FAN3_DIV_SELECT) ? 3 : 1;
}

// Sets the bits of fans 1-3 in a fan-control register, keeping the chip's other bits.
void set_fan_output_bits(uint8_t reg) {
    hwmon_write_register(reg, hwmon_read_register(reg) | IT87_FAN_OUTPUTS);
}

void write_pwm(int nr, uint8_t value) {
    const uint8_t reg = IT87_REG_PWM(nr);
    if (value < IT87_PWM_AUTOMATIC) {
        hwmon_write_register(reg, value & IT87_PWM_DUTY);
        return;
    }
    const uint8_t old = hwmon_read_register(reg);
    if (old & IT87_PWM_AUTOMATIC)
        state.automatic_input[nr] = old & IT87_PWM_TEMP_INPUT;
    hwmon_write_register(reg, IT87_PWM_AUTOMATIC | state.automatic_input[nr]);
}

}  // namespace

int ite_detect(Sensor* slot) {
    slot->type = SENSOR_ITE;
    slot->temperature_count = 3;
    slot->voltage_count = 9;
    slot->fan_count = kFans;
    slot->control_count = kControls;
    for (int i = 0; i < kSoftwareControl; ++i)
        state.controls[i] = {CONTROL_PWM, kPwmText, state.controls[i].value,
                             state.controls[i].held_by};
    state.controls[kSoftwareControl] = {CONTROL_FAN_ENABLE, kEnableText, 0};
    slot->temperatures = state.temperatures;
    slot->voltages = state.voltages;
    slot->fans = state.fans;
    slot->controls = state.controls;

    if (state.hwmon.active()) {
        // The kernel's driver has identified the chip and checked the BIOS's fan set-up.
        debug_print("ITE: Found a ITE8712\n");
        slot->name = "ITE8712F";
        state.fan_control_broken = !state.hwmon.has("pwm1");
        if (state.fan_control_broken) {
            debug_print("ITE: Broken BIOS defaults in the fan control, no fan control offered\n");
            slot->control_count = 0;
        }
        return 1;
    }
    const uint8_t id = hwmon_chip_id();
    if (id == IT8712F_CHIP_ID) {
        if (hwmon_read_register(IT87_REG_CORE_ID) != IT8712F_CORE_ID ||
            winbond_vendor_id() == kWinbondVendorId) {
            debug_print("ITE: Chip id 90 without the ITE8712's core id, not an ITE8712\n");
            slot->name = nullptr;
            return 0;
        }
        debug_print("ITE: Found a ITE8712\n");
        slot->name = "ITE8712F";
        state.fan_control_broken =
            (hwmon_read_register(IT87_REG_FAN_CTL) & IT87_BROKEN_BIOS_MASK) == 0;
        if (state.fan_control_broken) {
            debug_print("ITE: Broken BIOS defaults in the fan control, no fan control offered\n");
            slot->control_count = 0;
        }
        return 1;
    }
    debug_print("ITE: Unknown CHIPID %x\n", id);
    slot->name = nullptr;
    return 0;
}

void ite_read() {
    if (state.hwmon.active()) {
        read_through_hwmon();
        return;
    }
    for (int i = 0; i < 3; ++i)
        state.temperatures[i] = static_cast<int8_t>(hwmon_read_register(IT87_REG_TEMP(i)));
    for (int i = 0; i < 9; ++i)
        state.voltages[i] = hwmon_read_register(IT87_REG_VIN(i));  // raw count 0-255
    const uint8_t wide = hwmon_read_register(IT87_REG_FAN_16BIT);
    debug_print("ITE: 16-bit fan counter %d\n", wide);
    state.fans[0] = read_fan(0, wide, fan1_exponent);
    state.fans[1] = read_fan(1, wide, fan2_exponent);
    state.fans[2] = read_fan(2, wide, fan3_exponent);
    for (int i = 0; i < kFans; ++i) {
        const uint8_t pwm = hwmon_read_register(IT87_REG_PWM(i));
        state.controls[i].value = pwm;
        if (pwm & IT87_PWM_AUTOMATIC)
            state.automatic_input[i] = pwm & IT87_PWM_TEMP_INPUT;
    }
}

void ite_write() {
    if (state.fan_control_broken)
        return;  // 0x13-0x17 stay as the BIOS left them, whatever is asked
    if (state.controls[kSoftwareControl].value == 0)
        return;  // the chip's own fan control stays in charge
    if (state.hwmon.active()) {
        write_through_hwmon();
        return;
    }
    set_fan_output_bits(IT87_REG_FAN_MAIN_CTRL);
    set_fan_output_bits(IT87_REG_FAN_CTL);
    for (int i = 0; i < kFans; ++i)
        write_pwm(i, state.controls[i].value);
}

void ite_hold_pwm(const std::string& pwm, const char* holder) {
    state.hwmon.held.insert(pwm);
    for (int i = 0; i < kFans; ++i)
        if (pwm == file("pwm", i + 1))
            state.controls[i].held_by = holder;
}

bool ite_use_hwmon(int index, const std::string& name) {
    if (name != "it8712")
        return false;
    std::vector<std::string> files;
    for (int i = 1; i <= 3; ++i)
        for (const char* suffix : {"_input"})
            files.push_back(file("temp", i, suffix)), files.push_back(file("fan", i, suffix));
    for (int i = 0; i < 9; ++i)
        files.push_back(file("in", i, "_input"));
    for (int i = 1; i <= kFans; ++i)
        for (const char* suffix : {"", "_enable", "_auto_channels_temp"})
            files.push_back(file("pwm", i, suffix));
    hwmon_open(state.hwmon, index, files);
    return true;
}

void ite_reset_state() {
    hwmon_close(state.hwmon);
    state = IteState{};
}

int ite_full_speed_writes(int control, PortWrite* out) {
    if (control < 0 || control >= kFans)
        return 0;
    if (state.hwmon.active()) {
        const int fd = state.hwmon.fd(file("pwm", control + 1));
        if (fd < 0)
            return 0;
        out[0] = {0, 0xFF, fd};  // the driver halves it: 127, full speed
        return 1;
    }
    out[0] = {HWMON_INDEX_PORT, IT87_REG_PWM(control)};
    out[1] = {HWMON_DATA_PORT, kItePwmFullSpeed};
    return 2;
}
