// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/winbond.h"

#include "diag/debuglog.h"
#include "sensors/hwmon_files.h"
#include "sensors/isa_monitor.h"

namespace {

constexpr uint8_t W83627HF_CHIP_ID = 0x21;
constexpr uint8_t W83782D_CHIP_ID = 0x30;

// Hardware-monitor register numbers, in the datasheet's terms. CR20-CR3F answer in every bank;
// CR50-CR5F belong to the bank that CR4E selects.
constexpr uint8_t W83627HF_REG_IN(int nr) {  // voltage inputs IN0-IN6, 8-bit ADC counts
    return static_cast<uint8_t>(0x20 + nr);
}
constexpr uint8_t W83627HF_REG_TEMP1 = 0x27;  // temperature 1, whole degrees, signed
constexpr uint8_t W83627HF_REG_FAN(int nr) {  // fan counts of fans 1-3 (nr 0-2)
    return static_cast<uint8_t>(0x28 + nr);
}
constexpr uint8_t W83627HF_REG_VID_FANDIV = 0x47;  // bits 5-4 fan 1, 7-6 fan 2 divisor bits 1-0
constexpr uint8_t W83627HF_REG_PIN = 0x4B;         // bits 7-6 fan 3 divisor bits 1-0
constexpr uint8_t W83627HF_REG_BANK = 0x4E;        // bits 2-0 bank; bit 7 selects 0x4F's byte
constexpr uint8_t W83627HF_REG_WCHIPID = 0x4F;     // vendor id, byte chosen by CR4E bit 7
constexpr uint8_t W83627HF_REG_TEMP23 = 0x50;      // banks 1, 2: temperature 2, 3 bits 8-1
constexpr uint8_t W83627HF_REG_PWM1 = 0x5A;        // bank 0: PWM duty 0-255
constexpr uint8_t W83627HF_REG_PWM2 = 0x5B;        // bank 0
constexpr uint8_t W83627HF_REG_PWMCLK12 = 0x5C;    // bank 0: bits 1-0 PWM 1, 7-4 PWM 2 clock
constexpr uint8_t W83627HF_REG_VBAT = 0x5D;        // bank 0: bits 5, 6, 7 fan 1-3 divisor bit 2
constexpr uint8_t W83782D_REG_PWM3 = 0x5E;         // bank 0, W83782D only
constexpr uint8_t W83782D_REG_PWM4 = 0x5F;         // bank 0, W83782D only
constexpr uint8_t W83782D_REG_PWMCLK34 = 0x5C;     // bank 4: bits 1-0 PWM 3, 7-4 PWM 4 clock

constexpr uint8_t W83627HF_BANK_HBACS = 0x80;  // CR4F shows the vendor id's high byte

const char* const kPwmText = "Fan speed control PWM value (0-255):\n0   = off\n255 = full speed";
const char* const kFreqText =
    "Fan speed control PWM freq (0-4):\n0 = 46.87KHz\t1 = 23.43KHz\n2 = 11.72KHz\t3 = "
    "5.85KHz\n4 = 2.93KHz";

constexpr int kControls = 8;

struct WinbondState {
    int8_t temperatures[3]{};
    double voltages[7]{};
    uint16_t fans[3]{};
    SensorControl controls[kControls]{};
    uint8_t chip_id = 0;  // register 0x58 as detection read it
    HwmonFiles hwmon;     // the kernel driver's attributes, when it owns the chip
};
WinbondState state;

// The kernel drivers' attributes (w83627hf.c, w83781d.c). Voltages: in_input = count x 16 mV;
// temperatures in millidegrees; fans in rpm (-1 for a count of 0, 0 for 255); pwmN the duty
// register whole, 0-255; pwmN_freq (W83627HF) the PWM clock in Hz, 46875 >> select.
constexpr long kMillivoltsPerCount = 16;
constexpr long kPwmBaseHz = 46875;
constexpr int kPwmClockSelects = 5;  // 46.87 kHz >> 0 to 4

const char* const kHwmonChips[][2] = {{"w83627hf", "W83627HF"}, {"w83782d", "W83782D"}};
const char* const kDutyFile[kControls] = {"pwm1", "pwm2", nullptr, nullptr,
                                          "pwm3", "pwm4", nullptr, nullptr};
const char* const kClockFile[kControls] = {nullptr, nullptr, "pwm1_freq", "pwm2_freq",
                                           nullptr, nullptr, nullptr,     nullptr};

long hwmon_value(const std::string& name, long otherwise) {
    long value = otherwise;
    hwmon_read(state.hwmon, name, value);
    return value;
}

// The select whose clock is nearest the frequency, as the w83627hf driver rounds a written
// frequency (pwm_freq_to_reg_627hf): halfway between two clocks goes to the lower select.
uint8_t clock_select_of(long hz) {
    uint8_t select = 0;
    while (select < kPwmClockSelects - 1 &&
           hz <= ((kPwmBaseHz >> select) + (kPwmBaseHz >> (select + 1))) / 2)
        ++select;
    return select;
}

void read_through_hwmon() {
    // The record's order: temperature 2, 3, then 1, as the chip's banks are read.
    static const char* const kTemp[3] = {"temp2_input", "temp3_input", "temp1_input"};
    for (int i = 0; i < 3; ++i)
        state.temperatures[i] = static_cast<int8_t>(hwmon_whole_degrees(hwmon_value(kTemp[i], 0)));
    for (int i = 0; i < 7; ++i) {
        const long mv = hwmon_value("in" + std::to_string(i) + "_input", 0);
        state.voltages[i] =
            static_cast<double>((mv + kMillivoltsPerCount / 2) / kMillivoltsPerCount);
    }
    for (int i = 0; i < 3; ++i) {
        const long rpm = hwmon_value("fan" + std::to_string(i + 1) + "_input", 0);
        state.fans[i] = static_cast<uint16_t>(rpm < 0 ? 0 : rpm > 65535 ? 65535 : rpm);
    }
    for (int i = 0; i < kControls; ++i) {
        long value = 0;
        if (kDutyFile[i] && hwmon_read(state.hwmon, kDutyFile[i], value))
            state.controls[i].value = static_cast<uint8_t>(value);
        else if (kClockFile[i] && hwmon_read(state.hwmon, kClockFile[i], value))
            state.controls[i].value = clock_select_of(value);
    }
}

void write_through_hwmon(int controls) {
    for (int i = 0; i < controls; ++i) {
        const uint8_t value = state.controls[i].value;
        if (kDutyFile[i])
            hwmon_write(state.hwmon, kDutyFile[i], value);
        else if (kClockFile[i] && state.hwmon.has(kClockFile[i]))
            hwmon_write(state.hwmon, kClockFile[i],
                        kPwmBaseHz >> (value < kPwmClockSelects ? value : kPwmClockSelects - 1));
    }
}

// One fan: the divisor exponent's bits 1-0 from `divreg` at `shift`, bit 2 from CR5D at
// `vbat_shift`; then the count. Each register is read in a statement of its own, so the bus
// sees them in this order whatever the compiler makes of an expression.
uint16_t read_fan(int nr, uint8_t divreg, int shift, int vbat_shift) {
    const uint8_t low_bits = (hwmon_read_register(divreg) >> shift) & 3;
    const uint8_t high_bit = (hwmon_read_register(W83627HF_REG_VBAT) >> vbat_shift) & 4;
    const uint8_t exponent = low_bits | high_bit;
    const uint8_t count = hwmon_read_register(W83627HF_REG_FAN(nr));
    return fan_count_to_rpm(count, exponent);
}

// A PWM clock-select register holds two selects of three bits each (0 = 46.87 kHz to
// 4 = 2.93 kHz): the first control in bits 2-0, the second in bits 6-4; bits 3 and 7 are
// reserved and kept. Read and written through the same fields, so any select can follow any
// other.
constexpr uint8_t kClockSelectMask = 0x07;
constexpr int kSecondClockShift = 4;

uint8_t first_clock(uint8_t reg_value) {
    return reg_value & kClockSelectMask;
}

uint8_t second_clock(uint8_t reg_value) {
    return (reg_value >> kSecondClockShift) & kClockSelectMask;
}

// Written in two steps, first select then second, as the chip's clock dividers take them.
void write_pwm_clock(uint8_t reg, uint8_t low, uint8_t high) {
    const uint8_t old = hwmon_read_register(reg);
    const uint8_t first =
        static_cast<uint8_t>((old & ~kClockSelectMask) | (low & kClockSelectMask));
    hwmon_write_register(reg, first);
    hwmon_write_register(reg,
                         static_cast<uint8_t>((first & ~(kClockSelectMask << kSecondClockShift)) |
                                              ((high & kClockSelectMask) << kSecondClockShift)));
}

}  // namespace

uint16_t winbond_vendor_id() {
    hwmon_write_register(W83627HF_REG_BANK, 0x00);
    const uint8_t low = hwmon_read_register(W83627HF_REG_WCHIPID);
    hwmon_write_register(W83627HF_REG_BANK, W83627HF_BANK_HBACS);
    const uint8_t high = hwmon_read_register(W83627HF_REG_WCHIPID);
    return static_cast<uint16_t>(low | high << 8);
}

int winbond_detect(Sensor* slot) {
    slot->type = SENSOR_WINBOND;
    slot->temperature_count = 3;
    slot->voltage_count = 7;
    slot->fan_count = 3;
    for (int i = 0; i < kControls; ++i) {
        const bool pwm = (i & 2) == 0;  // 0, 1, 4, 5 duty; 2, 3, 6, 7 clock select
        state.controls[i].kind = pwm ? CONTROL_PWM : CONTROL_PWM_FREQ;
        // A hold (winbond_hold_pwm) outlives detection; it ends with the state.
        state.controls[i].description = pwm ? kPwmText : kFreqText;
    }
    slot->temperatures = state.temperatures;
    slot->voltages = state.voltages;
    slot->fans = state.fans;
    slot->controls = state.controls;

    // Through the kernel's driver the chip is identified already: its name said which.
    if (!state.hwmon.active()) {
        if (winbond_vendor_id() != kWinbondVendorId)
            return 0;
        state.chip_id = hwmon_chip_id();
    }
    switch (state.chip_id) {
        case W83627HF_CHIP_ID:
            debug_print("WINBOND: Found a W83627HF\n");
            slot->name = "W83627HF";
            slot->control_count = 4;
            return 1;
        case W83782D_CHIP_ID:
            debug_print("WINBOND: Found a W83782D\n");
            slot->name = "W83782D";
            slot->control_count = 8;
            return 1;
    }
    debug_print("WINBOND: Unknown CHIPID %x\n", state.chip_id);
    slot->name = nullptr;
    return 0;
}

void winbond_read() {
    if (state.hwmon.active()) {
        read_through_hwmon();
        return;
    }
    hwmon_write_register(W83627HF_REG_BANK, W83627HF_BANK_HBACS | 1);
    state.temperatures[0] = static_cast<int8_t>(hwmon_read_register(W83627HF_REG_TEMP23));
    hwmon_write_register(W83627HF_REG_BANK, W83627HF_BANK_HBACS | 2);
    state.temperatures[1] = static_cast<int8_t>(hwmon_read_register(W83627HF_REG_TEMP23));
    hwmon_write_register(W83627HF_REG_BANK, W83627HF_BANK_HBACS | 2);
    state.temperatures[2] = static_cast<int8_t>(hwmon_read_register(W83627HF_REG_TEMP1));
    for (int i = 0; i < 7; ++i)
        state.voltages[i] = hwmon_read_register(W83627HF_REG_IN(i));  // raw count 0-255
    winbond_read_fans();
}

void winbond_read_fans() {
    if (state.hwmon.active()) {
        read_through_hwmon();
        return;
    }
    hwmon_write_register(W83627HF_REG_BANK, 0x00);
    state.fans[0] = read_fan(0, W83627HF_REG_VID_FANDIV, 4, 3);
    state.fans[1] = read_fan(1, W83627HF_REG_VID_FANDIV, 6, 4);
    state.fans[2] = read_fan(2, W83627HF_REG_PIN, 6, 5);

    SensorControl* c = state.controls;
    c[0].value = hwmon_read_register(W83627HF_REG_PWM1);
    c[1].value = hwmon_read_register(W83627HF_REG_PWM2);
    c[2].value = first_clock(hwmon_read_register(W83627HF_REG_PWMCLK12));
    c[3].value = second_clock(hwmon_read_register(W83627HF_REG_PWMCLK12));
    if (state.chip_id != W83782D_CHIP_ID)
        return;
    c[4].value = hwmon_read_register(W83782D_REG_PWM3);
    c[5].value = hwmon_read_register(W83782D_REG_PWM4);
    hwmon_write_register(W83627HF_REG_BANK, 0x04);
    c[6].value = first_clock(hwmon_read_register(W83782D_REG_PWMCLK34));
    c[7].value = second_clock(hwmon_read_register(W83782D_REG_PWMCLK34));
    // Back to bank 0, where a kernel driver or any later reader expects the chip.
    hwmon_write_register(W83627HF_REG_BANK, 0x00);
}

void winbond_write() {
    if (state.hwmon.active()) {
        write_through_hwmon(state.chip_id == W83782D_CHIP_ID ? kControls : 4);
        return;
    }
    const SensorControl* c = state.controls;
    hwmon_write_register(W83627HF_REG_BANK, 0x00);
    hwmon_write_register(W83627HF_REG_PWM1, c[0].value);
    hwmon_write_register(W83627HF_REG_PWM2, c[1].value);
    write_pwm_clock(W83627HF_REG_PWMCLK12, c[2].value, c[3].value);
    if (state.chip_id != W83782D_CHIP_ID)
        return;
    // The W83782D's second pair: duties in bank 0, clock selects in bank 4.
    hwmon_write_register(W83782D_REG_PWM3, c[4].value);
    hwmon_write_register(W83782D_REG_PWM4, c[5].value);
    hwmon_write_register(W83627HF_REG_BANK, 0x04);
    write_pwm_clock(W83782D_REG_PWMCLK34, c[6].value, c[7].value);
    hwmon_write_register(W83627HF_REG_BANK, 0x00);
}

void winbond_hold_pwm(const std::string& file, const char* holder) {
    state.hwmon.held.insert(file);
    for (int i = 0; i < kControls; ++i)
        if (kDutyFile[i] && file == kDutyFile[i])
            state.controls[i].held_by = holder;
}

bool winbond_use_hwmon(int index, const std::string& name) {
    for (const auto& chip : kHwmonChips) {
        if (name != chip[0])
            continue;
        std::vector<std::string> files = {"temp1_input", "temp2_input", "temp3_input",
                                          "fan1_input",  "fan2_input",  "fan3_input"};
        for (int i = 0; i < 7; ++i)
            files.push_back("in" + std::to_string(i) + "_input");
        for (int i = 0; i < kControls; ++i)
            if (kDutyFile[i] || kClockFile[i])
                files.push_back(kDutyFile[i] ? kDutyFile[i] : kClockFile[i]);
        hwmon_open(state.hwmon, index, files);
        state.chip_id = name == "w83782d" ? W83782D_CHIP_ID : W83627HF_CHIP_ID;
        return true;
    }
    return false;
}

void winbond_reset_state() {
    hwmon_close(state.hwmon);
    state = WinbondState{};
}

int winbond_full_speed_writes(int control, PortWrite* out) {
    static constexpr uint8_t kDutyRegister[] = {W83627HF_REG_PWM1, W83627HF_REG_PWM2, 0, 0,
                                                W83782D_REG_PWM3,  W83782D_REG_PWM4};
    if (control < 0 || control >= static_cast<int>(sizeof kDutyRegister) ||
        kDutyRegister[control] == 0)
        return 0;
    if (state.hwmon.active()) {
        const int fd = state.hwmon.fd(kDutyFile[control]);
        if (fd < 0)
            return 0;
        out[0] = {0, 0xFF, fd};
        return 1;
    }
    out[0] = {HWMON_INDEX_PORT, W83627HF_REG_BANK};
    out[1] = {HWMON_DATA_PORT, 0x00};
    out[2] = {HWMON_INDEX_PORT, kDutyRegister[control]};
    out[3] = {HWMON_DATA_PORT, 0xFF};
    return 4;
}
