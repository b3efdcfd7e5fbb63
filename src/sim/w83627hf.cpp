// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/w83627hf.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/monitor_inputs.h"

namespace {

// CR20-CR26, in register order.
constexpr VoltageInput kVoltageInputs[7] = {
    {&SimWorld::vcore, kAdcLsb}, {&SimWorld::vdimm, kAdcLsb},  {&SimWorld::v3_3, kAdcLsb},
    {&SimWorld::v5, kAdcLsb5V},  {&SimWorld::v12, kAdcLsb12V}, {&SimWorld::vdd, kAdcLsb},
    {&SimWorld::vagp, kAdcLsb},
};

constexpr uint8_t kTempHalfDegree = 0x80;  // CR51 of banks 1 and 2

// Temperature 2 and 3 in the chip's 9-bit format: the upper eight bits of the value in half
// degrees, then its lowest bit as bit 7 of the second register.
int half_degrees(double celsius) {
    if (std::isnan(celsius))
        return 0;
    const double r = std::round(celsius * 2.0);
    return r > 255.0 ? 255 : r < -256.0 ? -256 : static_cast<int>(r);
}

}  // namespace

uint8_t sim_monitor_adc_count(double volts, double volts_per_count) {
    const double count = std::round(volts / volts_per_count);
    if (!(count > 0.0))
        return 0;  // also NaN
    return count >= 255.0 ? 255 : static_cast<uint8_t>(count);
}

uint8_t sim_monitor_temp_byte(double celsius) {
    if (std::isnan(celsius))
        return 0;
    const double r = std::round(celsius);
    const int t = r > 127.0 ? 127 : r < -128.0 ? -128 : static_cast<int>(r);
    return static_cast<uint8_t>(t);
}

uint32_t sim_monitor_fan_count(double rpm, unsigned divisor, uint32_t overflow) {
    if (!(rpm > 0.0) || divisor == 0)
        return overflow;
    const double count = 1350000.0 / (rpm * divisor);
    if (count >= overflow)
        return overflow;
    return count < 1.0 ? 1 : static_cast<uint32_t>(count);
}

W83627hf::W83627hf(SimWorld& world, Variant variant)
    : world_(world),
      variant_(variant),
      chip_id_(variant == Variant::W83782D ? W83782D_CHIP_ID : W83627HF_CHIP_ID) {
    reset();
}

const char* W83627hf::name() const {
    return is_782d() ? "W83782D" : "W83627HF";
}

// The values of the register file after power-on, as the BIOS leaves them at the end of POST.
void W83627hf::power_on_registers() {
    std::memset(regs_.cr, 0, sizeof regs_.cr);
    std::memset(regs_.bank, 0, sizeof regs_.bank);
    auto cr = [this](uint8_t reg) -> uint8_t& { return regs_.cr[reg - 0x20]; };

    // CR2B-CR38: high and low limit of each voltage input, wide open so nothing alarms.
    for (uint8_t reg = 0x2B; reg <= 0x38; reg += 2) {
        cr(reg) = 0xFF;
        cr(reg + 1) = 0x00;
    }
    cr(0x39) = 0x50;  // temperature 1 over-temperature limit, 80 degrees
    cr(0x3A) = 0x4B;  // and its hysteresis, 75 degrees
    cr(0x3B) = 0xFF;  // fan 1-3 count limits: no alarm
    cr(0x3C) = 0xFF;
    cr(0x3D) = 0xFF;

    cr(W83781D_REG_CONFIG) = 0x01;  // Start: monitoring runs
    cr(0x43) = 0x00;                // SMI# masks
    cr(0x44) = 0x00;
    // Fan 1 and 2 divisor 8 (bits 5-4 and 7-6 = 11): the chip resets to divisor 2, which
    // cannot count fans below 2650 rpm, so the BIOS sets 8 during POST. The low nibble is the
    // VID input, which this board does not wire: it reads 0.
    cr(W83781D_REG_VID_FANDIV) = 0xF0;
    cr(0x48) = 0x2D;                            // serial bus address
    cr(0x4A) = 0x01;                            // serial bus addresses of temperatures 2 and 3
    cr(W83781D_REG_PIN) = 0xC4;                 // fan 3 divisor 8 (bits 7-6); chip reset value 0x44
    cr(0x4C) = 0x18;                            // IRQ/OVT# properties
    cr(0x4D) = 0x15;                            // fan inputs enabled, beep off
    cr(W83781D_REG_BANK) = W83781D_BANK_HBACS;  // bank 0, CR4F shows the high byte

    uint8_t* bank0 = regs_.bank[0];
    bank0[0x56 - 0x50] = 0x00;               // beep masks
    bank0[0x57 - 0x50] = 0x80;               // global beep enable
    bank0[0x59 - 0x50] = 0x70;               // temperature inputs are thermal diodes
    bank0[W83627HF_REG_PWM1 - 0x50] = 0xFF;  // full duty: the fans run at full speed
    bank0[W83627HF_REG_PWM2 - 0x50] = 0xFF;
    bank0[W83781D_REG_PWMCLK - 0x50] = 0x11;  // both PWM clocks 23.43 kHz
    bank0[W83781D_REG_VBAT - 0x50] = 0x00;    // divisor bit 2 clear for all fans
    if (is_782d()) {
        bank0[W83782D_REG_PWM3 - 0x50] = 0xFF;
        bank0[W83782D_REG_PWM4 - 0x50] = 0xFF;
        regs_.bank[4][W83781D_REG_PWMCLK - 0x50] = 0x11;
    }
    // Temperatures 2 and 3: configuration, hysteresis and over-temperature limits (75 and 80
    // degrees, 9-bit).
    for (int b = 1; b <= 2; ++b) {
        regs_.bank[b][0x52 - 0x50] = 0x00;
        regs_.bank[b][0x53 - 0x50] = 0x4B;
        regs_.bank[b][0x54 - 0x50] = 0x00;
        regs_.bank[b][0x55 - 0x50] = 0x50;
        regs_.bank[b][0x56 - 0x50] = 0x00;
    }
    regs_.bank[4][0x51 - 0x50] = 0x00;  // SMI# mask 3
    regs_.bank[4][0x53 - 0x50] = 0x00;  // beep mask 3
    // Limits of the standby and battery inputs, wide open.
    regs_.bank[5][0x54 - 0x50] = 0xFF;
    regs_.bank[5][0x55 - 0x50] = 0x00;
    regs_.bank[5][0x56 - 0x50] = 0xFF;
    regs_.bank[5][0x57 - 0x50] = 0x00;
}

void W83627hf::reset() {
    power_on_registers();
    regs_.address = 0x00;
    drive_fans();
}

W83627hf::Kind W83627hf::kind(uint8_t bank, uint8_t reg) const {
    if (reg >= 0x20 && reg <= 0x4F) {
        switch (reg) {
            case W83781D_REG_ALARM1:
            case W83781D_REG_ALARM2:
            case W83781D_REG_WCHIPID:
                return Kind::Live;
        }
        return reg <= 0x2A ? Kind::Live : Kind::Stored;
    }
    if (reg < 0x50 || reg > 0x5F)
        return Kind::Absent;
    switch (bank) {
        case 0:
            if (reg == W83781D_REG_CHIPID)
                return Kind::Live;
            if (reg >= 0x56 && reg <= 0x5D)
                return Kind::Stored;
            if (reg == W83782D_REG_PWM3 || reg == W83782D_REG_PWM4)
                return is_782d() ? Kind::Stored : Kind::Absent;
            return Kind::Absent;
        case 1:
        case 2:
            if (reg <= W83781D_REG_TEMP23_LSB)
                return Kind::Live;
            return reg <= 0x56 ? Kind::Stored : Kind::Absent;
        case 4:
            switch (reg) {
                case 0x50:  // interrupt status 3
                case 0x59:  // real-time status 1-3
                case 0x5A:
                case 0x5B:
                    return Kind::Live;
                case 0x51:
                case 0x53:
                    return Kind::Stored;
                case W83781D_REG_PWMCLK:
                    return is_782d() ? Kind::Stored : Kind::Absent;
            }
            return Kind::Absent;
        case 5:
            if (reg <= W83781D_REG_IN8)
                return Kind::Live;
            return reg >= 0x54 && reg <= 0x57 ? Kind::Stored : Kind::Absent;
    }
    return Kind::Absent;
}

uint8_t& W83627hf::stored(uint8_t bank, uint8_t reg) {
    return reg < 0x50 ? regs_.cr[reg - 0x20] : regs_.bank[bank][reg - 0x50];
}

uint8_t W83627hf::stored(uint8_t bank, uint8_t reg) const {
    return reg < 0x50 ? regs_.cr[reg - 0x20] : regs_.bank[bank][reg - 0x50];
}

// Fan n's divisor: two bits in CR47 (fans 1, 2) or CR4B (fan 3), the third in CR5D of bank 0.
unsigned W83627hf::fan_divisor(int fan) const {
    const uint8_t cr47 = regs_.cr[W83781D_REG_VID_FANDIV - 0x20];
    const uint8_t cr4b = regs_.cr[W83781D_REG_PIN - 0x20];
    const uint8_t cr5d = regs_.bank[0][W83781D_REG_VBAT - 0x50];
    unsigned bits = 0;
    switch (fan) {
        case 0:
            bits = ((cr47 >> 4) & 3) | ((cr5d >> 3) & 4);
            break;
        case 1:
            bits = ((cr47 >> 6) & 3) | ((cr5d >> 4) & 4);
            break;
        default:
            bits = ((cr4b >> 6) & 3) | ((cr5d >> 5) & 4);
            break;
    }
    return 1u << bits;
}

int W83627hf::pwm_fan(uint8_t reg) const {
    switch (reg) {
        case W83627HF_REG_PWM1:
            return is_782d() ? 1 : 0;
        case W83627HF_REG_PWM2:
            return is_782d() ? 0 : 1;
        case W83782D_REG_PWM3:
            return is_782d() ? 2 : -1;
    }
    return -1;  // PWMOUT4 of the W83782D drives no fan
}

void W83627hf::drive_fans() {
    for (uint8_t reg : {W83627HF_REG_PWM1, W83627HF_REG_PWM2, W83782D_REG_PWM3}) {
        const int fan = pwm_fan(reg);
        if (fan >= 0)
            world_.fan_duty[fan] = regs_.bank[0][reg - 0x50];
    }
}

uint8_t W83627hf::live_register(uint8_t bank, uint8_t reg) const {
    if (reg >= W83781D_REG_IN0 && reg < W83781D_REG_TEMP1) {
        const VoltageInput& input = kVoltageInputs[reg - W83781D_REG_IN0];
        return sim_monitor_adc_count(world_.*input.rail, input.volts_per_count);
    }
    if (reg == W83781D_REG_TEMP1)
        return sim_monitor_temp_byte(world_.sys_temp_c);
    if (reg >= W83781D_REG_FAN1 && reg <= W83781D_REG_FAN1 + 2) {
        const int fan = reg - W83781D_REG_FAN1;
        return static_cast<uint8_t>(
            sim_monitor_fan_count(world_.fan_rpm[fan], fan_divisor(fan), 0xFF));
    }
    if (reg == W83781D_REG_WCHIPID) {
        const bool high = regs_.cr[W83781D_REG_BANK - 0x20] & W83781D_BANK_HBACS;
        return static_cast<uint8_t>(high ? WINBOND_VENDOR_ID >> 8 : WINBOND_VENDOR_ID & 0xFF);
    }
    if (reg < 0x50)
        return 0x00;  // interrupt status: the model raises no alarms
    switch (bank) {
        case 0:
            return chip_id_;
        case 1:
        case 2: {
            const int t = half_degrees(bank == 1 ? world_.cpu_temp_c : world_.ambient_c);
            if (reg == W83781D_REG_TEMP23)
                return static_cast<uint8_t>(t >> 1);  // arithmetic: -0.5 gives 0xFF, 0x80
            return (t & 1) ? kTempHalfDegree : 0x00;
        }
        case 5:
            if (reg == W83781D_REG_IN7)
                return sim_monitor_adc_count(world_.v5sb, kAdcLsb5V);
            return sim_monitor_adc_count(world_.vbat, kAdcLsb);
    }
    return 0x00;  // bank 4: interrupt and real-time status, no alarms
}

uint8_t W83627hf::read_register(uint8_t bank, uint8_t reg) const {
    switch (kind(bank, reg)) {
        case Kind::Live:
            return live_register(bank, reg);
        case Kind::Stored:
            return stored(bank, reg);
        case Kind::Absent:
            break;
    }
    return 0xFF;
}

void W83627hf::write_register(uint8_t bank, uint8_t reg, uint8_t value) {
    switch (kind(bank, reg)) {
        case Kind::Absent: {
            char text[96];
            if (reg >= 0x50 && reg <= 0x5F)
                std::snprintf(text, sizeof text,
                              "%s: write of 0x%02x to bank %u register 0x%02x, which the chip "
                              "does not have",
                              name(), value, bank, reg);
            else
                std::snprintf(text, sizeof text,
                              "%s: write of 0x%02x to register 0x%02x, which the chip does not "
                              "have",
                              name(), value, reg);
            world_.record_fault(text);
            return;
        }
        case Kind::Live: {
            // Readings, status and identification belong to the chip: a write there is a
            // program that took the register for another.
            char text[96];
            std::snprintf(text, sizeof text,
                          "%s: write of 0x%02x to read-only bank %u register 0x%02x", name(), value,
                          bank, reg);
            world_.record_fault(text);
            return;
        }
        case Kind::Stored:
            break;
    }
    switch (reg) {
        case W83781D_REG_CONFIG:
            // INITIALIZATION (bit 7) puts the registers back to their power-on values and
            // clears itself.
            if (value & 0x80) {
                power_on_registers();
                drive_fans();
                ++world_.state_changes;
                return;
            }
            break;
        case W83781D_REG_VID_FANDIV:
            value = static_cast<uint8_t>((value & 0xF0) | (stored(bank, reg) & 0x0F));
            break;
        case W83781D_REG_BANK:
            value &= W83781D_BANK_HBACS | W83781D_BANK_MASK;
            break;
        case W83781D_REG_PWMCLK:
            if (bank == 0 || bank == 4)
                check_clock_selects(bank, value);
            break;
    }
    // The bank select only steers the reads that follow, like the address port.
    if (stored(bank, reg) != value && reg != W83781D_REG_BANK)
        ++world_.state_changes;
    stored(bank, reg) = value;
    if (bank == 0 && reg >= 0x50) {
        const int fan = pwm_fan(reg);
        if (fan >= 0)
            world_.fan_duty[fan] = value;
    }
}

// CR5C holds two PWM clock selects, bits 2-0 and 6-4: 000 (46.87 kHz) to 100 (2.93 kHz).
// 101 to 111 select no clock the chip has.
void W83627hf::check_clock_selects(uint8_t bank, uint8_t value) {
    for (int shift : {0, 4}) {
        const unsigned select = (value >> shift) & 7u;
        if (select <= 4)
            continue;
        char text[112];
        std::snprintf(text, sizeof text,
                      "%s: write of 0x%02x to bank %u register 0x5c selects PWM clock %u, which "
                      "the chip does not have",
                      name(), value, bank, select);
        world_.record_fault(text);
    }
}

uint8_t W83627hf::read_port(uint16_t port) const {
    if (port == W83627HF_ADDRESS_PORT)
        return regs_.address;  // bit 7, Busy, is never set: the chip answers at once
    if (port == W83627HF_DATA_PORT)
        return read_register(bank(), regs_.address);
    return 0xFF;
}

void W83627hf::write_port(uint16_t port, uint8_t value) {
    if (port == W83627HF_ADDRESS_PORT)
        regs_.address = value & 0x7F;
    else if (port == W83627HF_DATA_PORT)
        write_register(bank(), regs_.address, value);
}

uint32_t W83627hf::in(uint16_t port, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const uint16_t p = static_cast<uint16_t>(port + i);
        const uint8_t byte = decodes(p) ? read_port(p) : 0xFF;
        value |= uint32_t{byte} << (8 * i);
    }
    return value;
}

void W83627hf::out(uint16_t port, int width, uint32_t value) {
    for (int i = 0; i < width; ++i)
        write_port(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
}

// The state file holds the register file as the chip answers it, one row of 16 registers per
// key ("ff" where the chip has no register). Loading takes the stored registers of each row
// and ignores the rest, since readings and identification come from the world and the chip.
namespace {

struct Row {
    const char* key;
    uint8_t bank;
    uint8_t first;
};

constexpr Row kRows[] = {
    {"cr20", 0, 0x20},       {"cr30", 0, 0x30},       {"cr40", 0, 0x40},
    {"bank0_cr50", 0, 0x50}, {"bank1_cr50", 1, 0x50}, {"bank2_cr50", 2, 0x50},
    {"bank4_cr50", 4, 0x50}, {"bank5_cr50", 5, 0x50},
};

}  // namespace

void W83627hf::save(StateSection& out) const {
    out.set_u8("chip_id", chip_id_);
    out.set_u8("address", regs_.address);
    for (const Row& row : kRows) {
        uint8_t bytes[16];
        for (int i = 0; i < 16; ++i)
            bytes[i] = read_register(row.bank, static_cast<uint8_t>(row.first + i));
        out.set_bytes(row.key, bytes, 16);
    }
}

void W83627hf::load(const StateSection& in, SimLoadReport& report) {
    power_on_registers();
    regs_.address = 0x00;
    auto problem = [&](const std::string& what) {
        report.problem(std::string(name()) + ": " + what +
                       " missing or invalid, power-on value used");
    };
    // Files from before the key hold the variant's own chip.
    chip_id_ = is_782d() ? W83782D_CHIP_ID : W83627HF_CHIP_ID;
    if (in.find("chip_id") && !in.get_u8("chip_id", chip_id_))
        report.problem(std::string(name()) + ": chip_id invalid, the chip's own id used");
    uint8_t address = 0;
    if (in.get_u8("address", address) && address <= 0x7F)
        regs_.address = address;
    else
        problem("address");
    for (const Row& row : kRows) {
        uint8_t bytes[16];
        if (!in.get_bytes(row.key, bytes, 16)) {
            problem(row.key);
            continue;
        }
        for (int i = 0; i < 16; ++i) {
            const uint8_t reg = static_cast<uint8_t>(row.first + i);
            if (kind(row.bank, reg) != Kind::Stored)
                continue;
            uint8_t value = bytes[i];
            if (reg == W83781D_REG_CONFIG)
                value &= 0x7F;
            else if (reg == W83781D_REG_VID_FANDIV)
                value = static_cast<uint8_t>((value & 0xF0) | (stored(row.bank, reg) & 0x0F));
            else if (reg == W83781D_REG_BANK)
                value &= W83781D_BANK_HBACS | W83781D_BANK_MASK;
            stored(row.bank, reg) = value;
        }
    }
    drive_fans();
}
