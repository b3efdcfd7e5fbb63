// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/bios_smi.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "sim/cmos.h"
#include "sim/sim_world.h"

namespace {

constexpr size_t kBoardNameLength = 24;  // mailbox registers 2 to 7, four characters each

// The BIOS reports its voltages in the hardware monitor's converter counts: 16 mV for the
// low rails, the divided 5 V and 12 V inputs at their resistor ratios.
constexpr double kCountLowRail = 0.016;
constexpr double kCount5V = 0.02688;
constexpr double kCount12V = 0.0608;

uint32_t clamp_u16(double value) {
    return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 65535.0)));
}

// The BIOS answers a 16-bit reading in the low word of a mailbox register; the high word keeps
// what an earlier request left there (the board name's characters, the board version).
void set_low_word(uint32_t& reg, double value) {
    reg = (reg & 0xFFFF0000u) | clamp_u16(value);
}

// A temperature as the BIOS's signed byte.
uint32_t temperature_byte(double celsius) {
    long t = std::lround(std::clamp(celsius, -128.0, 127.0));
    return static_cast<uint8_t>(static_cast<int8_t>(t));
}

bool is_mailbox(uint16_t port) {
    return port >= kSmiMailboxPort && port < kSmiMailboxPort + 4 * kSmiMailboxRegisters;
}

constexpr const char* kInvalidKey = "invalid_functions";
constexpr const char* kFailedKey = "failed_functions";
constexpr const char* kVendorKey = "vendor";
constexpr const char* kBoardKey = "board";

// Function numbers as the state file holds them: blank-separated hex bytes, "12 25".
std::string function_list_text(const std::vector<uint8_t>& functions) {
    std::string text;
    char buf[4];
    for (uint8_t f : functions) {
        std::snprintf(buf, sizeof buf, "%02x", f);
        if (!text.empty())
            text += ' ';
        text += buf;
    }
    return text;
}

// False for anything but hex bytes (an optional "0x" allowed) separated by blanks.
bool parse_function_list(const std::string& text, std::vector<uint8_t>& out) {
    std::vector<uint8_t> functions;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const char* first = word.data();
        const char* last = first + word.size();
        if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
            first += 2;
        unsigned value = 0;
        const auto res = std::from_chars(first, last, value, 16);
        if (first == last || res.ec != std::errc() || res.ptr != last || value > 0xFF)
            return false;
        functions.push_back(static_cast<uint8_t>(value));
    }
    out = functions;
    return true;
}

bool listed(const std::vector<uint8_t>& functions, uint8_t function) {
    return std::find(functions.begin(), functions.end(), function) != functions.end();
}

}  // namespace

BiosSmi::BiosSmi(SimWorld& world, const SimProfile& profile)
    : world_(world),
      has_smi_(profile.has_smi),
      sensors_(profile.has_smi && profile.smi_sensors),
      cpu_on_die_(profile.smi_cpu_temp_on_die),
      version_(profile.bios_version),
      profile_vendor_(profile.bios_vendor),
      profile_board_(profile.bios_board ? profile.bios_board : "") {
    if (profile_board_.size() > kBoardNameLength)
        profile_board_.resize(kBoardNameLength);
    use_profile_offer();
    reset();
}

void BiosSmi::use_profile_offer() {
    invalid_functions_.clear();
    failed_functions_.clear();
    vendor_ = profile_vendor_;
    board_ = profile_board_;
}

void BiosSmi::reset() {
    regs_.query = 0x00;  // not asked yet: the query port reads as floating until 0x88 comes
    regs_.data = kSmiStatusOk;
    for (uint32_t& reg : regs_.mailbox)
        reg = kSmiMailboxIdle;  // filled by the BIOS at POST
    answer_unread_ = false;
}

void BiosSmi::save(StateSection& out) const {
    out.set_u8("query", regs_.query);
    out.set_u8("data", regs_.data);
    for (int i = 0; i < kSmiMailboxRegisters; ++i)
        out.set_u32("mailbox" + std::to_string(i), regs_.mailbox[i]);
    out.set(kInvalidKey, function_list_text(invalid_functions_));
    out.set(kFailedKey, function_list_text(failed_functions_));
    out.set_u8(kVendorKey, static_cast<uint8_t>(vendor_));
    out.set(kBoardKey, board_);
}

void BiosSmi::load(const StateSection& in, SimLoadReport& report) {
    reset();
    if (!in.get_u8("query", regs_.query))
        report.problem("BIOS_SMI: query missing or invalid, power-on value used");
    if (!in.get_u8("data", regs_.data))
        report.problem("BIOS_SMI: data missing or invalid, power-on value used");
    for (int i = 0; i < kSmiMailboxRegisters; ++i) {
        std::string key = "mailbox" + std::to_string(i);
        if (!in.get_u32(key, regs_.mailbox[i]))
            report.problem("BIOS_SMI: " + key + " missing or invalid, power-on value used");
    }
    load_offer(in, report);
}

// Each key that is missing (a file from before the keys) or invalid leaves the profile's
// value; only an invalid one is a problem.
void BiosSmi::load_offer(const StateSection& in, SimLoadReport& report) {
    const auto invalid = [&](const char* key) {
        report.problem(std::string("BIOS_SMI: ") + key + " invalid, the profile's value used");
    };
    use_profile_offer();
    if (const std::string* text = in.find(kInvalidKey);
        text && !parse_function_list(*text, invalid_functions_))
        invalid(kInvalidKey);
    if (const std::string* text = in.find(kFailedKey);
        text && !parse_function_list(*text, failed_functions_))
        invalid(kFailedKey);
    if (in.find(kVendorKey)) {
        uint8_t vendor = 0;
        if (in.get_u8(kVendorKey, vendor))
            vendor_ = vendor;
        else
            invalid(kVendorKey);
    }
    if (const std::string* text = in.find(kBoardKey)) {
        if (text->size() <= kBoardNameLength)
            board_ = *text;
        else
            invalid(kBoardKey);
    }
}

bool BiosSmi::decodes(uint16_t port) const {
    if (!has_smi_)
        return false;
    return port == kSmiCommandPort || port == kSmiDataPort || is_mailbox(port);
}

// Port 0x449F is both the query port (byte accesses) and the top byte of mailbox register 7
// (reached by the wider accesses the mailbox is read and written with).
uint32_t BiosSmi::in(uint16_t port, int width) {
    if (!has_smi_)
        return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    if (width == 1 && port == kSmiQueryPort)
        return regs_.query == kSmiQueryMagic ? kSmiFunctionCode : 0xFF;
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const auto p = static_cast<uint16_t>(port + i);
        if (p == kSmiDataPort)
            answer_unread_ = false;
        value |= uint32_t{read_byte(p)} << (8 * i);
    }
    return value;
}

void BiosSmi::out(uint16_t port, int width, uint32_t value) {
    if (!has_smi_)
        return;
    if (width == 1 && port == kSmiQueryPort) {
        regs_.query = static_cast<uint8_t>(value);
        return;
    }
    // The SMI traps after the whole I/O cycle, so a wide write that also carries the function
    // number has stored it before the handler runs.
    bool raise = false;
    for (int i = 0; i < width; ++i) {
        uint16_t p = static_cast<uint16_t>(port + i);
        uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
        if (p == kSmiCommandPort)
            raise = byte == kSmiFunctionCode;  // other values are not this BIOS's SMI
        else
            write_byte(p, byte);
    }
    if (raise)
        raise_smi();
}

uint8_t BiosSmi::read_byte(uint16_t port) const {
    if (port == kSmiDataPort)
        return regs_.data;
    if (!is_mailbox(port))
        return 0xFF;  // the command port is write-only
    int offset = port - kSmiMailboxPort;
    return static_cast<uint8_t>(regs_.mailbox[offset / 4] >> (8 * (offset % 4)));
}

void BiosSmi::write_byte(uint16_t port, uint8_t value) {
    if (port == kSmiDataPort) {
        regs_.data = value;
        return;
    }
    if (!is_mailbox(port))
        return;
    int offset = port - kSmiMailboxPort;
    int shift = 8 * (offset % 4);
    uint32_t& reg = regs_.mailbox[offset / 4];
    reg = (reg & ~(0xFFu << shift)) | (uint32_t{value} << shift);
}

// One request at a time: a request raised before the status of the last one was read means
// two users of the mailbox cut into each other, and one of them takes the other's answer.
void BiosSmi::raise_smi() {
    if (answer_unread_) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "SMI request 0x%02x raised before the answer to 0x%02x was read", regs_.data,
                      last_function_);
        world_.record_fault(text);
    }
    last_function_ = regs_.data;
    answer_unread_ = true;
    regs_.data = run(regs_.data);
}

uint8_t BiosSmi::run(uint8_t function) {
    if (listed(invalid_functions_, function))
        return kSmiStatusInvalid;
    if (listed(failed_functions_, function))
        return kSmiStatusFailed;
    uint32_t* mb = regs_.mailbox;
    switch (function) {
        case kSmiFnVersion:
            mb[1] = sensors_ ? kSmiVersionSensors : kSmiVersionBasic;
            return kSmiStatusOk;
        case kSmiFnBoardInfo:
            return board_info();
        case kSmiFnMultiplierLocation:
            return multiplier_location();
        default:
            break;
    }
    // Hardware monitoring: a BIOS without it has none of these functions.
    if (!sensors_)
        return kSmiStatusInvalid;
    switch (function) {
        case kSmiFnCpuTemp:
            mb[1] = temperature_byte(world_.cpu_temp_c) | (cpu_on_die_ ? 0 : kSmiCpuTempSocket);
            return kSmiStatusOk;
        case kSmiFnSecondTemp:
            mb[1] = temperature_byte(world_.sys_temp_c);
            return kSmiStatusOk;
        case kSmiFnVoltages:
            return voltages();
        case kSmiFnFan1Speed:
            set_low_word(mb[1], world_.fan_rpm[0]);
            return kSmiStatusOk;
        case kSmiFnFan2Speed:
            set_low_word(mb[1], world_.fan_rpm[1]);
            return kSmiStatusOk;
        case kSmiFnPwm1:
            if ((mb[1] >> 16) == 0)
                return set_pwm(0, mb[1]);
            mb[1] = world_.fan_duty[0];
            return kSmiStatusOk;
        case kSmiFnPwm2Read:
            mb[1] = world_.fan_duty[1];
            return kSmiStatusOk;
        case kSmiFnPwm2Write:
            return set_pwm(1, mb[1]);
        default:
            return kSmiStatusInvalid;
    }
}

uint8_t BiosSmi::board_info() {
    uint32_t* mb = regs_.mailbox;
    mb[1] = (uint32_t{version_} << 16) | (vendor_ & 0xFFu);
    // The name, padded with blanks, four characters a register, the first in the top byte.
    std::string name = board_;
    name.resize(kBoardNameLength, ' ');
    for (size_t r = 0; r < kBoardNameLength / 4; ++r) {
        uint32_t reg = 0;
        for (size_t c = 0; c < 4; ++c)
            reg = (reg << 8) | static_cast<uint8_t>(name[r * 4 + c]);
        mb[2 + r] = reg;
    }
    return kSmiStatusOk;
}

uint8_t BiosSmi::multiplier_location() {
    // Only the BIOS revisions with hardware monitoring tell where set-up keeps the multiplier;
    // the older ones answer with index 0xFF, "not supported".
    uint32_t index = sensors_ ? kCmosMultiplierIndex : 0xFF;
    uint32_t mask = sensors_ ? kCmosMultiplierMask : 0x00;
    regs_.mailbox[7] = (mask << 24) | (index << 16);
    return kSmiStatusOk;
}

uint8_t BiosSmi::voltages() {
    uint32_t* mb = regs_.mailbox;
    set_low_word(mb[1], world_.vcore / kCountLowRail);
    set_low_word(mb[2], world_.vdimm / kCountLowRail);
    set_low_word(mb[3], world_.vdd / kCountLowRail);
    set_low_word(mb[4], world_.v5 / kCount5V);
    set_low_word(mb[5], world_.v12 / kCount12V);
    return kSmiStatusOk;
}

uint8_t BiosSmi::set_pwm(int fan, uint32_t argument) {
    // A duty beyond 0..255, or no argument at all, is refused and changes nothing.
    if (argument > 0xFF)
        return kSmiStatusFailed;
    world_.fan_duty[fan] = static_cast<uint8_t>(argument);
    return kSmiStatusOk;
}
