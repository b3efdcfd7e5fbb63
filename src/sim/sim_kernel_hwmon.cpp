// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated kernel's hwmon drivers for the simulated monitors: each attribute is computed
// from the chip's registers as the Linux driver computes it, through the chip's ports (bank
// select and index/data pair), and a stored value goes to the register as the driver puts it
// there.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/sim_kernel.h"
#include "sim/sim_machine.h"

namespace {

constexpr uint16_t kIndexPort = 0x295, kDataPort = 0x296;
constexpr uint8_t kRegBank = 0x4E, kRegChipId = 0x58;

// The Winbond monitors (w83627hf.c, w83781d.c).
constexpr uint8_t kW83627hfChipId = 0x21, kW83782dChipId = 0x30;
constexpr uint8_t kRegIn0 = 0x20, kRegTemp1 = 0x27, kRegFan1 = 0x28, kRegVidFanDiv = 0x47,
                  kRegPin = 0x4B, kRegTemp23 = 0x50, kRegVbat = 0x5D, kRegPwmClock12 = 0x5C;
constexpr uint8_t kRegPwm[4] = {0x5A, 0x5B, 0x5E, 0x5F};
constexpr long kInLsbMillivolts = 16;  // IN_FROM_REG: count x 16 mV
constexpr long kFanClock = 1350000;    // FAN_FROM_REG: 1350000 / (count x divisor)
constexpr long kPwmBaseHz = 46875;     // pwm_freq_from_reg_627hf: 46875 >> select

struct WinbondChip {
    const char* name;
    uint8_t chip_id;
    int pwms;
    bool pwm_freq;
};
constexpr WinbondChip kWinbondChips[] = {{"w83627hf", kW83627hfChipId, 2, true},
                                         {"w83782d", kW83782dChipId, 4, false}};

const WinbondChip* winbond_chip(const std::string& name) {
    for (const WinbondChip& c : kWinbondChips)
        if (name == c.name)
            return &c;
    return nullptr;
}

// "temp2_input" -> 2 for the prefix "temp" and the suffix "_input"; 0 when it does not match.
int numbered(const std::string& attribute, const char* prefix, const char* suffix) {
    const size_t p = std::strlen(prefix), s = std::strlen(suffix);
    if (attribute.size() != p + 1 + s || attribute.compare(0, p, prefix) != 0 ||
        attribute.compare(p + 1, s, suffix) != 0 || attribute[p] < '0' || attribute[p] > '9')
        return 0;
    return attribute[p] - '0' + 1;  // 1-based, so that in0 gives 1
}

}  // namespace

uint8_t SimKernel::isa_read(uint8_t bank, uint8_t reg) {
    machine_.kernel_out(kIndexPort, 1, kRegBank);
    machine_.kernel_out(kDataPort, 1, bank);
    machine_.kernel_out(kIndexPort, 1, reg);
    return static_cast<uint8_t>(machine_.kernel_in(kDataPort, 1));
}

void SimKernel::isa_write(uint8_t bank, uint8_t reg, uint8_t value) {
    machine_.kernel_out(kIndexPort, 1, kRegBank);
    machine_.kernel_out(kDataPort, 1, bank);
    machine_.kernel_out(kIndexPort, 1, reg);
    machine_.kernel_out(kDataPort, 1, value);
}

bool SimKernel::hwmon_has(const std::string& chip, const std::string& a) {
    const WinbondChip* w = winbond_chip(chip);
    if (!w || isa_read(0, kRegChipId) != w->chip_id)
        return false;  // the driver would not have bound to another chip
    const int in = numbered(a, "in", "_input"), temp = numbered(a, "temp", "_input"),
              fan = numbered(a, "fan", "_input"), pwm = numbered(a, "pwm", ""),
              freq = numbered(a, "pwm", "_freq");
    return (in >= 1 && in <= 9) || (temp >= 2 && temp <= 4) || (fan >= 2 && fan <= 4) ||
           (pwm >= 2 && pwm <= w->pwms + 1) || (w->pwm_freq && freq >= 2 && freq <= 3);
}

int SimKernel::open_hwmon(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string chip;
    if (!tree_text(path.substr(0, slash) + "/name", chip))
        return -ENOENT;
    while (!chip.empty() && chip.back() == '\n')
        chip.pop_back();
    OpenFile file;
    file.kind = OpenFile::Kind::Hwmon;
    file.chip = chip;
    file.attribute = path.substr(slash + 1);
    if (!hwmon_has(chip, file.attribute))
        return -ENOENT;
    // The driver makes its pwm files writable by root (mode 0644).
    file.writable = file.attribute.rfind("pwm", 0) == 0 && opener().effective_root;
    const int fd = next_fd_++;
    files_[fd] = file;
    return fd;
}

bool SimKernel::hwmon_show(const OpenFile& file, long& value) {
    const std::string& a = file.attribute;
    if (const int in = numbered(a, "in", "_input")) {
        value = isa_read(0, static_cast<uint8_t>(kRegIn0 + in - 1)) * kInLsbMillivolts;
        return true;
    }
    if (const int temp = numbered(a, "temp", "_input")) {
        if (temp == 2) {  // temp1: whole degrees, signed
            value = static_cast<int8_t>(isa_read(0, kRegTemp1)) * 1000L;
            return true;
        }
        // temp2, temp3: LM75 format in banks 1 and 2, half degrees in bit 7 of the low byte.
        const uint8_t bank = static_cast<uint8_t>(temp - 2);
        const int16_t raw =
            static_cast<int16_t>(isa_read(bank, kRegTemp23) << 8 | isa_read(bank, kRegTemp23 + 1));
        value = (raw >> 7) * 500L;
        return true;
    }
    if (const int fan = numbered(a, "fan", "_input")) {
        // The divisor's exponent: bits 1-0 in 0x47 (fans 1, 2) or 0x4B (fan 3), bit 2 in 0x5D.
        const int nr = fan - 2;
        const uint8_t div_reg = isa_read(0, nr < 2 ? kRegVidFanDiv : kRegPin);
        const int shift = nr == 0 ? 4 : 6;
        const int exponent = ((div_reg >> shift) & 3) | ((isa_read(0, kRegVbat) >> (5 + nr)) & 1)
                                                            << 2;
        const uint8_t count = isa_read(0, static_cast<uint8_t>(kRegFan1 + nr));
        value = count == 0 ? -1 : count == 255 ? 0 : kFanClock / (count * (1L << exponent));
        return true;
    }
    if (const int freq = numbered(a, "pwm", "_freq")) {
        const uint8_t clocks = isa_read(0, kRegPwmClock12);
        value = kPwmBaseHz >> ((freq == 2 ? clocks : clocks >> 4) & 0x07);
        return true;
    }
    if (const int pwm = numbered(a, "pwm", "")) {
        value = isa_read(0, kRegPwm[pwm - 2]);
        return true;
    }
    return false;
}

// A duty is clamped to 0-255 and written whole; a frequency goes to the nearest clock select
// (pwm_freq_to_reg_627hf) in its three bits of 0x5C, the other bits kept.
bool SimKernel::hwmon_store(const OpenFile& file, long value) {
    const std::string& a = file.attribute;
    if (const int freq = numbered(a, "pwm", "_freq")) {
        uint8_t select = 0;
        while (select < 4 && value <= ((kPwmBaseHz >> select) + (kPwmBaseHz >> (select + 1))) / 2)
            ++select;
        const int shift = freq == 2 ? 0 : 4;
        const uint8_t old = isa_read(0, kRegPwmClock12);
        isa_write(0, kRegPwmClock12,
                  static_cast<uint8_t>((old & ~(0x07 << shift)) | select << shift));
        return true;
    }
    if (const int pwm = numbered(a, "pwm", "")) {
        isa_write(0, kRegPwm[pwm - 2],
                  static_cast<uint8_t>(value < 0     ? 0
                                       : value > 255 ? 255
                                                     : value));
        return true;
    }
    return false;
}
