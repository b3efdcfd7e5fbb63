// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/it8712f.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "sim/monitor_inputs.h"
#include "sim/w83627hf.h"  // the converters that all monitor chips share

namespace {

// 0x20-0x28, in register order.
constexpr VoltageInput kVoltageInputs[9] = {
    {&SimWorld::vcore, kAdcLsb}, {&SimWorld::vdimm, kAdcLsb},  {&SimWorld::v3_3, kAdcLsb},
    {&SimWorld::v5, kAdcLsb5V},  {&SimWorld::v12, kAdcLsb12V}, {&SimWorld::vdd, kAdcLsb},
    {&SimWorld::vagp, kAdcLsb},  {&SimWorld::v5sb, kAdcLsb5V}, {&SimWorld::vbat, kAdcLsb},
};

constexpr uint8_t kConfigInit = 0x80;        // restores the power-on values, clears itself
constexpr uint8_t kConfigUpdateVbat = 0x40;  // one VBAT conversion, clears itself
constexpr int kFans = 3;
constexpr uint8_t kCoreIdRegister = 0x5B;  // the core's id, 0x12 on the IT8712F
constexpr uint8_t kCoreId = 0x12;
constexpr uint8_t kWinbondBankSelect = 0x4E;

}  // namespace

It8712f::It8712f(SimWorld& world) : world_(world) {
    reset();
}

// The register file after power-on, as the BIOS leaves it at the end of POST.
void It8712f::power_on_registers() {
    std::memset(regs_.reg, 0, sizeof regs_.reg);
    uint8_t* r = regs_.reg;
    r[IT87_REG_CONFIG] = 0x01;  // Start: monitoring runs, no interrupts
    // 0x04-0x09 SMI# and IRQ masks: 0x00. 0x0A interface selection and VID: 0x00.
    r[IT87_REG_FAN_DIV] = 0x09;    // fans 1 and 2 divisor 2, fan 3 divisor 2 (bit 6 clear)
    r[IT87_REG_FAN_16BIT] = 0x07;  // the BIOS turns the 16-bit counters of fans 1-3 on
    for (int fan = 0; fan < kFans; ++fan) {
        r[0x10 + fan] = 0xFF;  // fan count limits, low and high byte: no alarm
        r[0x1B + fan] = 0xFF;
        r[IT87_REG_PWM + fan] = IT87_PWM_AUTOMATIC;  // the chip runs the fans itself
    }
    r[IT87_REG_FAN_MAIN_CTRL] = 0x77;  // tachometers 1-3 on, fans 1-3 in PWM mode
    r[IT87_REG_FAN_CTL] = 0x80;        // PWM active high, fastest base clock
    // 0x30-0x3F: high and low limit of VIN0-VIN7, wide open.
    for (uint8_t reg = 0x30; reg <= 0x3E; reg += 2)
        r[reg] = 0xFF;
    // 0x40-0x45: high and low limit of temperatures 1-3, 127 and 0 degrees.
    for (uint8_t reg = 0x40; reg <= 0x44; reg += 2)
        r[reg] = 0x7F;
    r[0x48] = 0x2D;  // serial bus address
    r[0x50] = 0xFF;  // all voltage inputs converted
    r[0x51] = 0x31;  // temperature 1 a thermal diode, 2 and 3 thermistors
    // 0x60-0x74: the automatic control of fans 1-3 (off, start and full-speed temperature,
    // start duty, control): start at 40 degrees with half duty, full speed at 70.
    for (int fan = 0; fan < kFans; ++fan) {
        uint8_t* zone = r + 0x60 + 8 * fan;
        zone[0] = 0x00;
        zone[1] = 0x28;
        zone[2] = 0x46;
        zone[3] = 0x40;
        zone[4] = 0x00;
    }
}

void It8712f::reset() {
    power_on_registers();
    regs_.address = 0x00;
    drive_fans();
}

It8712f::Kind It8712f::kind(uint8_t reg) {
    if (reg <= 0x1D) {
        if ((reg >= 0x01 && reg <= 0x03) ||                         // interrupt status
            (reg >= IT87_REG_FAN && reg < IT87_REG_FAN + kFans) ||  // fan counts
            (reg >= IT87_REG_FANX && reg < IT87_REG_FANX + kFans))
            return Kind::Live;
        return Kind::Stored;
    }
    if (reg >= IT87_REG_VIN && reg <= IT87_REG_TEMP + 2)
        return Kind::Live;
    if (reg == IT87_REG_CHIPID || reg == kCoreIdRegister)
        return Kind::Live;
    if ((reg >= 0x30 && reg <= 0x45) || reg == 0x48 || reg == 0x50 || reg == 0x51)
        return Kind::Stored;
    if (reg >= 0x60 && reg <= 0x77 && (reg & 7) <= 4)
        return Kind::Stored;
    return Kind::Absent;
}

bool It8712f::tachometer_on(int fan) const {
    return regs_.reg[IT87_REG_FAN_MAIN_CTRL] & (1u << (IT87_TACH_ENABLE_SHIFT + fan));
}

// The 16-bit count of fan n: a fixed divisor of 2. A counter that is off reads as a stopped fan.
uint16_t It8712f::fan_count16(int fan) const {
    if (!tachometer_on(fan))
        return 0xFFFF;
    return static_cast<uint16_t>(sim_monitor_fan_count(world_.fan_rpm[fan], 2, 0xFFFF));
}

// The duty the output drives, then as the fan's driver sees it: inverted when the outputs are
// active low.
uint8_t It8712f::fan_duty(int fan) const {
    const uint8_t main = regs_.reg[IT87_REG_FAN_MAIN_CTRL];
    const uint8_t ctl = regs_.reg[IT87_REG_FAN_CTL];
    const uint8_t pwm = regs_.reg[IT87_REG_PWM + fan];
    uint8_t duty = 0;
    if (!(main & (1u << fan)))
        duty = (ctl & (1u << fan)) ? 255 : 0;
    else if (pwm & IT87_PWM_AUTOMATIC)
        duty = static_cast<uint8_t>((automatic_duty(fan, pwm & 0x03) * 255 + 63) / 127);
    else
        duty = static_cast<uint8_t>(((pwm & 0x7F) * 255 + 63) / 127);
    return (ctl & IT87_PWM_ACTIVE_HIGH) ? duty : static_cast<uint8_t>(255 - duty);
}

// The chip's own control of a fan, in 128 steps, from its zone 0x60 + 8 x fan: below the
// off temperature the fan stops; up to the start temperature it runs at the start duty, from
// there it rises in a straight line to full duty at the full-speed temperature.
int It8712f::automatic_duty(int fan, int input) const {
    const uint8_t* zone = regs_.reg + 0x60 + 8 * fan;
    const double temps[] = {world_.cpu_temp_c, world_.sys_temp_c, world_.ambient_c};
    const double t = temps[input < 3 ? input : 0];
    const int start_duty = zone[3] & 0x7F;
    if (t < zone[0])
        return 0;
    if (t <= zone[1])
        return start_duty;
    if (t >= zone[2] || zone[2] <= zone[1])
        return 127;
    return start_duty + static_cast<int>((127 - start_duty) * (t - zone[1]) / (zone[2] - zone[1]));
}

void It8712f::drive_fans() {
    for (int fan = 0; fan < kFans; ++fan)
        world_.fan_duty[fan] = fan_duty(fan);
}

uint8_t It8712f::live_register(uint8_t reg) const {
    if (reg >= IT87_REG_FAN && reg < IT87_REG_FAN + kFans) {
        const int fan = reg - IT87_REG_FAN;
        if (regs_.reg[IT87_REG_FAN_16BIT] & (1u << fan))
            return static_cast<uint8_t>(fan_count16(fan));
        if (!tachometer_on(fan))
            return 0xFF;
        const uint8_t div = regs_.reg[IT87_REG_FAN_DIV];
        const unsigned bits = fan == 0   ? div & 7
                              : fan == 1 ? (div >> 3) & 7
                                         : ((div & IT87_FAN3_DIV8) ? 3 : 1);
        return static_cast<uint8_t>(sim_monitor_fan_count(world_.fan_rpm[fan], 1u << bits, 0xFF));
    }
    if (reg >= IT87_REG_FANX && reg < IT87_REG_FANX + kFans)
        return static_cast<uint8_t>(fan_count16(reg - IT87_REG_FANX) >> 8);
    if (reg >= IT87_REG_VIN && reg < IT87_REG_TEMP) {
        const VoltageInput& input = kVoltageInputs[reg - IT87_REG_VIN];
        return sim_monitor_adc_count(world_.*input.rail, input.volts_per_count);
    }
    switch (reg) {
        case IT87_REG_TEMP:
            return sim_monitor_temp_byte(world_.cpu_temp_c);
        case IT87_REG_TEMP + 1:
            return sim_monitor_temp_byte(world_.sys_temp_c);
        case IT87_REG_TEMP + 2:
            return sim_monitor_temp_byte(world_.ambient_c);
        case IT87_REG_CHIPID:
            return chip_id_;
        case kCoreIdRegister:
            return kCoreId;
    }
    return 0x00;  // interrupt status: the model raises no alarms
}

uint8_t It8712f::read_register(uint8_t reg) const {
    switch (kind(reg)) {
        case Kind::Live:
            return live_register(reg);
        case Kind::Stored:
            return regs_.reg[reg];
        case Kind::Absent:
            break;
    }
    return 0xFF;
}

void It8712f::write_register(uint8_t reg, uint8_t value) {
    switch (kind(reg)) {
        case Kind::Absent: {
            // Every start runs the Winbond detection before this chip's, and it selects a
            // Winbond bank through 0x4E. The address is reserved here and the write harmless.
            if (reg == kWinbondBankSelect)
                return;
            char text[96];
            std::snprintf(text, sizeof text,
                          "IT8712F: write of 0x%02x to register 0x%02x, which the chip does not "
                          "have",
                          value, reg);
            world_.record_fault(text);
            return;
        }
        case Kind::Live: {
            // Readings, status and identification belong to the chip: a write there is a
            // program that took the register for another.
            char text[96];
            std::snprintf(text, sizeof text,
                          "IT8712F: write of 0x%02x to read-only register 0x%02x", value, reg);
            world_.record_fault(text);
            return;
        }
        case Kind::Stored:
            break;
    }
    if (reg == IT87_REG_CONFIG) {
        if (value & kConfigInit) {
            power_on_registers();
            drive_fans();
            ++world_.state_changes;
            return;
        }
        value &= static_cast<uint8_t>(~kConfigUpdateVbat);  // the battery is read live
    }
    if (regs_.reg[reg] != value)
        ++world_.state_changes;
    regs_.reg[reg] = value;
    if (reg == IT87_REG_FAN_MAIN_CTRL || reg == IT87_REG_FAN_CTL ||
        (reg >= IT87_REG_PWM && reg < IT87_REG_PWM + kFans))
        drive_fans();
}

uint8_t It8712f::read_port(uint16_t port) const {
    if (port == IT87_ADDRESS_PORT)
        return regs_.address;
    if (port == IT87_DATA_PORT)
        return read_register(regs_.address);
    return 0xFF;
}

void It8712f::write_port(uint16_t port, uint8_t value) {
    if (port == IT87_ADDRESS_PORT)
        regs_.address = value;
    else if (port == IT87_DATA_PORT)
        write_register(regs_.address, value);
}

uint32_t It8712f::in(uint16_t port, int width) {
    drive_fans();  // the automatic control follows the temperatures
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const uint16_t p = static_cast<uint16_t>(port + i);
        const uint8_t byte = decodes(p) ? read_port(p) : 0xFF;
        value |= uint32_t{byte} << (8 * i);
    }
    return value;
}

void It8712f::out(uint16_t port, int width, uint32_t value) {
    for (int i = 0; i < width; ++i)
        write_port(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
}

// The state file holds the register file 0x00-0x7F as the chip answers it, one row of 16
// registers per key ("ff" where the chip has no register). Loading takes the stored registers
// and ignores the rest, since readings and the vendor id come from the world and the chip.
void It8712f::save(StateSection& out) const {
    out.set_u8("chip_id", chip_id_);
    out.set_u8("address", regs_.address);
    for (int first = 0; first < kRegisters; first += 16) {
        uint8_t bytes[16];
        for (int i = 0; i < 16; ++i)
            bytes[i] = read_register(static_cast<uint8_t>(first + i));
        char key[8];
        std::snprintf(key, sizeof key, "reg%02x", first);
        out.set_bytes(key, bytes, 16);
    }
}

void It8712f::load(const StateSection& in, SimLoadReport& report) {
    power_on_registers();
    regs_.address = 0x00;
    // Files from before the key hold the IT8712F's own id.
    chip_id_ = IT87_VENDOR_ID;
    if (in.find("chip_id") && !in.get_u8("chip_id", chip_id_))
        report.problem("IT8712F: chip_id invalid, the chip's own id used");
    if (!in.get_u8("address", regs_.address))
        report.problem("IT8712F: address missing or invalid, power-on value used");
    for (int first = 0; first < kRegisters; first += 16) {
        char key[8];
        std::snprintf(key, sizeof key, "reg%02x", first);
        uint8_t bytes[16];
        if (!in.get_bytes(key, bytes, 16)) {
            report.problem(std::string("IT8712F: ") + key +
                           " missing or invalid, power-on value used");
            continue;
        }
        for (int i = 0; i < 16; ++i) {
            const uint8_t reg = static_cast<uint8_t>(first + i);
            if (kind(reg) != Kind::Stored)
                continue;
            regs_.reg[reg] =
                reg == IT87_REG_CONFIG
                    ? static_cast<uint8_t>(bytes[i] & ~(kConfigInit | kConfigUpdateVbat))
                    : bytes[i];
        }
    }
    drive_fans();
}
