// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated kernel's hwmon drivers for the simulated monitors: each attribute is computed
// from the chip's registers as the Linux driver computes it, through the chip's ports (bank
// select and index/data pair), and a stored value goes to the register as the driver puts it
// there.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// The Winbond chips select a bank first; the IT8712F has no banks (kNoBank), and its 0x4E is
// another register.
uint8_t SimKernel::isa_read(int bank, uint8_t reg) {
    if (bank != kNoBank) {
        machine_.kernel_out(kIndexPort, 1, kRegBank);
        machine_.kernel_out(kDataPort, 1, static_cast<uint32_t>(bank));
    }
    machine_.kernel_out(kIndexPort, 1, reg);
    return static_cast<uint8_t>(machine_.kernel_in(kDataPort, 1));
}

void SimKernel::isa_write(int bank, uint8_t reg, uint8_t value) {
    if (bank != kNoBank) {
        machine_.kernel_out(kIndexPort, 1, kRegBank);
        machine_.kernel_out(kDataPort, 1, static_cast<uint32_t>(bank));
    }
    machine_.kernel_out(kIndexPort, 1, reg);
    machine_.kernel_out(kDataPort, 1, value);
}

bool SimKernel::hwmon_has(const std::string& chip, const std::string& a) {
    if (chip == "it8712")
        return it87_has(a);
    if (chip == "lm90" || chip == "lm99")
        return a == "temp1_input" || a == "temp2_input" || a == "update_interval";
    const WinbondChip* w = winbond_chip(chip);
    if (!w || isa_read(0, kRegChipId) != w->chip_id)
        return false;  // the driver would not have bound to another chip
    const int in = numbered(a, "in", "_input"), temp = numbered(a, "temp", "_input"),
              fan = numbered(a, "fan", "_input"), pwm = numbered(a, "pwm", ""),
              freq = numbered(a, "pwm", "_freq");
    return (in >= 1 && in <= 9) || (temp >= 2 && temp <= 4) || (fan >= 2 && fan <= 4) ||
           (pwm >= 2 && pwm <= w->pwms + 1) || (w->pwm_freq && freq >= 2 && freq <= 3);
}

bool SimKernel::hwmon_show(const OpenFile& file, long& value) {
    if (file.chip == "it8712")
        return it87_show(file, value);
    if (file.lm90_host)
        return lm90_show(file, value);
    return winbond_show(file, value);
}

bool SimKernel::hwmon_store(const OpenFile& file, long value) {
    if (file.chip == "it8712")
        return it87_store(file, value);
    if (file.lm90_host)
        return lm90_store(file, value);
    return winbond_store(file, value);
}

// The it87 driver on the IT8712F.
namespace {
constexpr uint8_t kIteChipId = 0x90;
constexpr uint8_t kIteFanDiv = 0x0B, kIteFan16 = 0x0C, kIteFan = 0x0D, kIteMainCtrl = 0x13,
                  kIteFanCtl = 0x14, kItePwm = 0x15, kIteFanX = 0x18, kIteIn = 0x20,
                  kIteTemp = 0x29;
constexpr uint8_t kItePwmAutomatic = 0x80;
}  // namespace

// The temperature input of a fan's automatic control, as the driver keeps it: taken from the
// register while the fan was under the chip's control, 0 when it never was.
uint8_t SimKernel::it87_temp_map(int nr) {
    const uint8_t reg = isa_read(kNoBank, static_cast<uint8_t>(kItePwm + nr));
    if (reg & kItePwmAutomatic)
        it87_temp_map_[nr] = reg & 3;
    return it87_temp_map_[nr];
}

// The driver offers no pwm file after a BIOS that left every fan of 0x14 off with the polarity
// active low (it87's "broken BIOS defaults" check).
bool SimKernel::it87_has(const std::string& a) {
    if (isa_read(kNoBank, kRegChipId) != kIteChipId)
        return false;
    const int in = numbered(a, "in", "_input"), temp = numbered(a, "temp", "_input"),
              fan = numbered(a, "fan", "_input");
    if ((in >= 1 && in <= 9) || (temp >= 2 && temp <= 4) || (fan >= 2 && fan <= 4))
        return true;
    const int pwm = std::max({numbered(a, "pwm", ""), numbered(a, "pwm", "_enable"),
                              numbered(a, "pwm", "_auto_channels_temp")});
    return pwm >= 2 && pwm <= 4 && (isa_read(kNoBank, kIteFanCtl) & 0x87) != 0;
}

bool SimKernel::it87_show(const OpenFile& file, long& value) {
    const std::string& a = file.attribute;
    if (const int in = numbered(a, "in", "_input")) {
        value = isa_read(kNoBank, static_cast<uint8_t>(kIteIn + in - 1)) * kInLsbMillivolts;
        return true;
    }
    if (const int temp = numbered(a, "temp", "_input")) {
        value = static_cast<int8_t>(isa_read(kNoBank, static_cast<uint8_t>(kIteTemp + temp - 2))) *
                1000L;
        return true;
    }
    if (const int fan = numbered(a, "fan", "_input")) {
        const int nr = fan - 2;
        const uint8_t low = isa_read(kNoBank, static_cast<uint8_t>(kIteFan + nr));
        if (isa_read(kNoBank, kIteFan16) & (1 << nr)) {  // FAN16_FROM_REG
            const long count = low | isa_read(kNoBank, static_cast<uint8_t>(kIteFanX + nr)) << 8;
            value = count == 0 ? -1 : count == 0xFFFF ? 0 : kFanClock / (count * 2);
            return true;
        }
        const uint8_t div = isa_read(kNoBank, kIteFanDiv);
        const long divisor = nr == 0        ? 1L << (div & 7)
                             : nr == 1      ? 1L << ((div >> 3) & 7)
                             : (div & 0x40) ? 8
                                            : 2;
        value = low == 0 ? -1 : low == 255 ? 0 : kFanClock / (low * divisor);
        return true;
    }
    const int pwm = numbered(a, "pwm", ""), enable = numbered(a, "pwm", "_enable"),
              channels = numbered(a, "pwm", "_auto_channels_temp");
    const int nr = std::max({pwm, enable, channels}) - 2;
    const uint8_t reg = isa_read(kNoBank, static_cast<uint8_t>(kItePwm + nr));
    if (pwm)
        value = (reg & 0x7F) << 1;  // PWM_FROM_REG on a 7-bit PWM
    else if (enable)
        value = !(isa_read(kNoBank, kIteMainCtrl) & (1 << nr)) ? 0
                : (reg & kItePwmAutomatic)                     ? 2
                                                               : 1;
    else
        value = 1L << (reg & 3);
    return true;
}

// pwmN: the duty halved into the register, written in software mode only. pwmN_enable: 0
// puts the output in on/off mode at full speed, 1 in software mode at the duty it holds, 2
// back to the chip's automatic control on its temperature input.
bool SimKernel::it87_store(const OpenFile& file, long value) {
    const std::string& a = file.attribute;
    const int pwm = numbered(a, "pwm", ""), enable = numbered(a, "pwm", "_enable");
    const int nr = std::max(pwm, enable) - 2;
    if (nr < 0)
        return false;
    const uint8_t reg_pwm = static_cast<uint8_t>(kItePwm + nr);
    it87_temp_map(nr);
    const uint8_t reg = isa_read(kNoBank, reg_pwm);
    const uint8_t bit = static_cast<uint8_t>(1 << nr);
    if (pwm) {
        if (value < 0 || value > 255)
            return false;
        if (!(reg & kItePwmAutomatic))
            isa_write(kNoBank, reg_pwm, static_cast<uint8_t>(value >> 1));
        return true;
    }
    switch (value) {
        case 0:
            isa_write(kNoBank, kIteFanCtl, isa_read(kNoBank, kIteFanCtl) | bit);
            isa_write(kNoBank, kIteMainCtrl, isa_read(kNoBank, kIteMainCtrl) & ~bit);
            return true;
        case 1:
            isa_write(kNoBank, reg_pwm, reg & 0x7F);
            isa_write(kNoBank, kIteMainCtrl, isa_read(kNoBank, kIteMainCtrl) | bit);
            return true;
        case 2:
            isa_write(kNoBank, reg_pwm, static_cast<uint8_t>(kItePwmAutomatic | it87_temp_map(nr)));
            isa_write(kNoBank, kIteMainCtrl, isa_read(kNoBank, kIteMainCtrl) | bit);
            return true;
    }
    return false;
}

// The lm90 driver: temperatures from the high bytes (the simulated chip has no fraction
// registers), an LM99's remote reading with its 16 degrees added; update_interval 16000 >>
// the conversion rate, a written interval to the first rate whose interval it reaches 3/4 of.
namespace {
constexpr uint8_t kLm90Address = 0x4C, kLm90LocalTemp = 0x00, kLm90RemoteTemp = 0x01,
                  kLm90ConvRate = 0x04, kLm90WriteConvRate = 0x0A, kLm90MaxRate = 9;
constexpr long kLm90SlowestMs = 16000;
}  // namespace

uint16_t SimKernel::lm90_host(const std::string& folder) {
    unsigned adapter = 0, address = 0;
    const std::string target = readlink(folder + "/device");
    const std::string client = target.substr(target.find_last_of('/') + 1);
    if (std::sscanf(client.c_str(), "%u-%4x", &adapter, &address) != 2 || address != kLm90Address)
        return 0;
    std::string name;
    if (!tree_text("/sys/bus/i2c/devices/i2c-" + std::to_string(adapter) + "/name", name))
        return 0;
    const size_t at = name.rfind(' ');
    return static_cast<uint16_t>(std::strtoul(name.c_str() + at + 1, nullptr, 16));
}

bool SimKernel::lm90_show(const OpenFile& file, long& value) {
    uint8_t byte = 0;
    const std::string& a = file.attribute;
    const uint8_t command = a == "temp1_input"   ? kLm90LocalTemp
                            : a == "temp2_input" ? kLm90RemoteTemp
                                                 : kLm90ConvRate;
    if (smbus_transfer(file.lm90_host, kLm90Address, true, command, byte) != 0)
        return false;
    if (command == kLm90ConvRate)
        value = kLm90SlowestMs >> std::min<uint8_t>(byte, kLm90MaxRate);
    else
        value = static_cast<int8_t>(byte) * 1000L +
                (command == kLm90RemoteTemp && file.chip == "lm99" ? 16000 : 0);
    return true;
}

bool SimKernel::lm90_store(const OpenFile& file, long value) {
    if (file.attribute != "update_interval")
        return false;
    uint8_t rate = 0;
    for (long interval = kLm90SlowestMs; rate < kLm90MaxRate; ++rate, interval >>= 1)
        if (value >= interval * 3 / 4)
            break;
    return smbus_transfer(file.lm90_host, kLm90Address, false, kLm90WriteConvRate, rate) == 0;
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
    if (chip == "lm90" || chip == "lm99") {
        file.lm90_host = lm90_host(path.substr(0, slash));
        if (file.lm90_host == 0)
            return -ENOENT;
    }
    if (!hwmon_has(chip, file.attribute))
        return -ENOENT;
    // The drivers make their settings writable by root (mode 0644).
    file.writable = (file.attribute.rfind("pwm", 0) == 0 || file.attribute == "update_interval") &&
                    opener().effective_root;
    const int fd = next_fd_++;
    files_[fd] = file;
    return fd;
}

bool SimKernel::winbond_show(const OpenFile& file, long& value) {
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
bool SimKernel::winbond_store(const OpenFile& file, long value) {
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
