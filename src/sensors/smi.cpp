// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/smi.h"

#include <cstring>

#include "diag/debuglog.h"
#include "hw/port_io.h"

const char* const smi_vendor_names[kSmiVendorCount] = {
    "Not Supported", "NVIDIA",  "Asus",       "MSI",      "Abit", "Chaintech",
    "Epox",          "Leadtek", "Shuttle",    "Gigabyte", "FIC",  "Aopen",
    "Soltek",        "Biostar", "Wistron",    "Mitac",    "DFI",  "Albatron",
    "Jetway",        "Surwin",  "QDI/Legend", "Pine",     "SOYO", "Arima",
};

namespace {

constexpr uint16_t SMI_QUERY_PORT = 0x449F;  // write 0x88, read the function code
constexpr uint8_t SMI_QUERY_MAGIC = 0x88;
constexpr uint16_t SMI_DATA_PORT = 0x442F;
constexpr uint16_t SMI_CMD_PORT = 0x442E;
constexpr uint16_t SMI_MAILBOX = 0x4480;
constexpr int kMailboxRegisters = 8;

constexpr uint16_t mailbox_register(int n) {
    return static_cast<uint16_t>(SMI_MAILBOX + 4 * n);
}

constexpr uint16_t CMOS_INDEX_PORT = 0x70;
constexpr uint16_t CMOS_DATA_PORT = 0x71;
constexpr uint8_t CMOS_LAST_INDEX = 0x7F;

// Function numbers.
constexpr uint8_t SMI_FN_VERSION = 0x01;
constexpr uint8_t SMI_FN_FAN1 = 0x02;
constexpr uint8_t SMI_FN_PWM1 = 0x03;  // read, and write with the duty as argument
constexpr uint8_t SMI_FN_FAN2 = 0x06;
constexpr uint8_t SMI_FN_PWM2_READ = 0x07;
constexpr uint8_t SMI_FN_PWM2_WRITE = 0x08;
constexpr uint8_t SMI_FN_CPU_TEMP = 0x12;
constexpr uint8_t SMI_FN_SECOND_TEMP = 0x13;
constexpr uint8_t SMI_FN_VOLTAGES = 0x24;
constexpr uint8_t SMI_FN_BOARD_INFO = 0x25;
constexpr uint8_t SMI_FN_MULTIPLIER = 0x27;

constexpr uint32_t SMI_CPU_TEMP_SOCKET = 1u << 16;  // function 0x12, register 1
constexpr uint8_t SMI_MULTI_NOT_SUPPORTED = 0xFF;

constexpr size_t kBoardNameLength = 24;

const char* const kUnknownVendor = "Unknown";

struct MailboxState {
    uint32_t saved[kMailboxRegisters] = {};
};
MailboxState mailbox;

// The sensor's channels and controls.
constexpr int kTemperatures = 2;
constexpr int kVoltages = 5;
constexpr int kFans = 2;
constexpr int kPwms = 2;
constexpr int kControls = 3;
constexpr int kSoftwareControl = 2;  // control index of the switch

const char* const kPwmText = "Fan speed control PWM value (0-255):\n0   = off\n255 = full speed";
const char* const kEnableText = "Enable software fan control";

constexpr uint8_t kTemperatureFunctions[kTemperatures] = {SMI_FN_CPU_TEMP, SMI_FN_SECOND_TEMP};
constexpr uint8_t kFanFunctions[kFans] = {SMI_FN_FAN1, SMI_FN_FAN2};
constexpr uint8_t kPwmReadFunctions[kPwms] = {SMI_FN_PWM1, SMI_FN_PWM2_READ};
constexpr uint8_t kPwmWriteFunctions[kPwms] = {SMI_FN_PWM1, SMI_FN_PWM2_WRITE};

struct SmiSensorState {
    SmiInterface smi{};
    uint8_t temperature_count = 0;
    uint8_t voltage_count = 0;
    uint8_t fan_count = 0;
    uint8_t control_count = 0;
    int8_t temperatures[kTemperatures] = {};
    double voltages[kVoltages] = {};
    uint16_t fans[kFans] = {};
    SensorControl controls[kControls] = {
        {CONTROL_PWM, kPwmText, 0},
        {CONTROL_PWM, kPwmText, 0},
        {CONTROL_FAN_ENABLE, kEnableText, 0},
    };
    // Which PWM read functions answered at detection: only those PWMs are read and written.
    bool pwm_offered[kPwms] = {};
    // Lines said once until the switch changes: switch off, and per PWM "not offered".
    bool switch_off_said = false;
    bool pwm_missing_said[kPwms] = {};
    // The channels whose function has not answered once since detection (see Sensor).
    uint32_t never_read = 0;
};
SmiSensorState sensor;

// Writes the function number and raises the SMI.
void raise_smi(const SmiInterface* smi, uint8_t function) {
    port_out8(function, SMI_DATA_PORT);
    port_out8(smi->function_code, SMI_CMD_PORT);
}

uint32_t low16(uint32_t value) {
    return value & 0xFFFF;
}
uint8_t low8(uint32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

const char* smi_vendor_name(uint32_t board_info) {
    const uint32_t index = board_info & 0xFF;
    return index < kSmiVendorCount ? smi_vendor_names[index] : kUnknownVendor;
}

void smi_mailbox_save() {
    for (int i = 0; i < kMailboxRegisters; ++i)
        mailbox.saved[i] = port_in32(mailbox_register(i));
}

void smi_mailbox_restore() {
    for (int i = 0; i < kMailboxRegisters; ++i)
        port_out32(mailbox.saved[i], mailbox_register(i));
}

int smi_check_status(uint8_t function) {
    const uint8_t status = port_in8(SMI_DATA_PORT);
    switch (status) {
        case SMI_STATUS_OK:
            return 1;
        case SMI_STATUS_FAILED:
            debug_print("SMI: Failed function: 0x%x\n", function);
            break;
        case SMI_STATUS_INVALID:
            debug_print("SMI: Invalid function: 0x%x\n", function);
            break;
        default:
            debug_print("SMI: Unknown return value %x\n", status);
            break;
    }
    return 0;
}

int smi_init(SmiInterface* smi) {
    // A failed open must not leave an earlier board's identity behind.
    *smi = SmiInterface{};
    smi->vendor_name = smi_vendor_names[0];

    port_out8(SMI_QUERY_MAGIC, SMI_QUERY_PORT);
    smi->function_code = port_in8(SMI_QUERY_PORT);
    debug_print("SMI: Function code: 0x%x\n", smi->function_code);

    smi_mailbox_save();
    raise_smi(smi, SMI_FN_VERSION);
    if (!smi_check_status(SMI_FN_VERSION)) {
        smi_mailbox_restore();
        return 0;
    }
    smi->version = port_in16(mailbox_register(1));
    debug_print("SMI: Interface version 0x%x\n", smi->version);
    smi_mailbox_restore();

    smi_mailbox_save();
    raise_smi(smi, SMI_FN_BOARD_INFO);
    if (!smi_check_status(SMI_FN_BOARD_INFO)) {
        smi_mailbox_restore();
        return 0;
    }
    const uint32_t info = port_in32(mailbox_register(1));
    const char* vendor = smi_vendor_name(info);
    debug_print("SMI: Board vendor: %s, version 0x%x\n", vendor, info >> 16);

    // Registers 2 to 7, four characters each, the first in the top byte.
    char name[kBoardNameLength + 1] = {};
    for (int r = 2; r < kMailboxRegisters; ++r) {
        const uint32_t reg = port_in32(mailbox_register(r));
        for (int c = 0; c < 4; ++c)
            name[(r - 2) * 4 + c] = static_cast<char>(reg >> (24 - 8 * c));
    }
    // The BIOS pads the name with blanks: it ends at the first two adjacent ones.
    for (size_t i = 0; i + 1 < kBoardNameLength; ++i) {
        if (name[i] == ' ' && name[i + 1] == ' ') {
            name[i] = '\0';
            break;
        }
    }
    debug_print("SMI: Board name: %s\n", name);
    smi_mailbox_restore();

    smi->board_info = info;
    smi->vendor_name = vendor;
    std::memcpy(smi->board_name, name, sizeof name);
    return 1;
}

int smi_call(SmiInterface* smi, uint8_t function) {
    smi_mailbox_save();
    raise_smi(smi, function);
    if (!smi_check_status(function)) {
        smi_mailbox_restore();
        return 0;
    }
    for (int i = 0; i < kMailboxRegisters; ++i)
        smi->results[i] = port_in32(mailbox_register(i));
    smi_mailbox_restore();
    return 1;
}

int smi_call_with_arg(SmiInterface* smi, uint8_t function, uint16_t argument) {
    smi_mailbox_save();
    port_out32(argument, mailbox_register(1));
    raise_smi(smi, function);
    const int ok = smi_check_status(function);
    smi_mailbox_restore();
    return ok;
}

uint8_t cmos_read(uint8_t index) {
    if (index > CMOS_LAST_INDEX)
        return 0;
    port_out8(index, CMOS_INDEX_PORT);
    return port_in8(CMOS_DATA_PORT);
}

uint8_t smi_get_multi(SmiInterface* smi) {
    // Without an answer the result registers hold another request's values: no place to read.
    if (!smi_call(smi, SMI_FN_MULTIPLIER)) {
        debug_print("SMI: smi_get_multi() failed\n");
        return SMI_MULTI_NOT_SUPPORTED;
    }
    const uint8_t index = static_cast<uint8_t>(smi->results[7] >> 16);
    if (index == SMI_MULTI_NOT_SUPPORTED) {
        debug_print("SMI: smi_get_multi: Not supported\n");
        return SMI_MULTI_NOT_SUPPORTED;
    }
    return cmos_read(index) & static_cast<uint8_t>(smi->results[7] >> 24);
}

int smi_sensor_detect(Sensor* slot) {
    SmiSensorState& s = sensor;
    s.temperature_count = s.voltage_count = s.fan_count = s.control_count = 0;
    for (int i = 0; i < kPwms; ++i) {
        s.pwm_offered[i] = false;
        s.pwm_missing_said[i] = false;
    }
    s.switch_off_said = false;
    s.controls[0] = {CONTROL_PWM, kPwmText, s.controls[0].value};
    s.controls[1] = {CONTROL_PWM, kPwmText, s.controls[1].value};
    s.controls[kSoftwareControl] = {CONTROL_FAN_ENABLE, kEnableText, 0};

    slot->name = "SMI BIOS sensor";
    slot->type = SENSOR_SMI;
    slot->temperature_count = slot->voltage_count = slot->fan_count = slot->control_count = 0;
    slot->temperatures = s.temperatures;
    slot->voltages = s.voltages;
    slot->fans = s.fans;
    slot->controls = s.controls;
    s.never_read = ~0u;
    slot->never_read = &s.never_read;

    if (!smi_init(&s.smi))
        return 0;
    if (smi_call(&s.smi, SMI_FN_CPU_TEMP)) {
        ++s.temperature_count;
        debug_print("SENSOR_SMI: CPU temp sensor: %s\n",
                    (s.smi.results[1] & SMI_CPU_TEMP_SOCKET) ? "Socket" : "Die");
    }
    if (smi_call(&s.smi, SMI_FN_SECOND_TEMP))
        ++s.temperature_count;
    if (smi_call(&s.smi, SMI_FN_VOLTAGES))
        s.voltage_count = kVoltages;
    for (uint8_t function : kFanFunctions)
        if (smi_call(&s.smi, function))
            ++s.fan_count;
    // The duty each PWM holds now, so that switching software control on sends the BIOS's own
    // duty until something else is set.
    for (int i = 0; i < kPwms; ++i) {
        s.pwm_offered[i] = smi_call(&s.smi, kPwmReadFunctions[i]) == 1;
        if (s.pwm_offered[i])
            s.controls[i].value = low8(s.smi.results[1]);
    }
    if (s.pwm_offered[0] || s.pwm_offered[1])
        s.control_count = kControls;

    slot->temperature_count = s.temperature_count;
    slot->voltage_count = s.voltage_count;
    slot->fan_count = s.fan_count;
    slot->control_count = s.control_count;
    return 1;
}

void smi_sensor_read() {
    SmiSensorState& s = sensor;
    auto delivered = [&](int bit) { s.never_read &= ~(1u << bit); };
    for (int i = 0; i < s.temperature_count && i < kTemperatures; ++i) {
        if (smi_call(&s.smi, kTemperatureFunctions[i])) {
            s.temperatures[i] = static_cast<int8_t>(low8(s.smi.results[1]));
            delivered(i);
        }
    }
    if (s.voltage_count != 0 && smi_call(&s.smi, SMI_FN_VOLTAGES)) {
        for (int i = 0; i < kVoltages; ++i) {
            s.voltages[i] = low16(s.smi.results[i + 1]);
            delivered(kNeverReadVoltage + i);
        }
    }
    for (int i = 0; i < s.fan_count && i < kFans; ++i) {
        if (smi_call(&s.smi, kFanFunctions[i])) {
            s.fans[i] = static_cast<uint16_t>(low16(s.smi.results[1]));
            delivered(kNeverReadFan + i);
        }
    }
    for (int i = 0; i < kPwms; ++i)
        if (s.pwm_offered[i] && smi_call(&s.smi, kPwmReadFunctions[i]))
            s.controls[i].value = low8(s.smi.results[1]);
}

void smi_sensor_write() {
    SmiSensorState& s = sensor;
    if (s.control_count == 0)
        return;
    if (s.controls[kSoftwareControl].value == 0) {
        if (!s.switch_off_said)
            debug_print("SENSOR_SMI: Software fan control off, PWM not written\n");
        s.switch_off_said = true;
        for (bool& said : s.pwm_missing_said)
            said = false;
        return;
    }
    s.switch_off_said = false;
    for (int i = 0; i < kPwms; ++i) {
        if (s.pwm_offered[i]) {
            smi_call_with_arg(&s.smi, kPwmWriteFunctions[i], s.controls[i].value);
            continue;
        }
        if (!s.pwm_missing_said[i])
            debug_print("SENSOR_SMI: PWM %d not offered by the BIOS, not written\n", i + 1);
        s.pwm_missing_said[i] = true;
    }
}

void smi_reset_state() {
    sensor = SmiSensorState{};
    mailbox = MailboxState{};
}
