// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/nforce2_pci.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hw/pci.h"
#include "platform/clock.h"
#include "sim/cpu_stability.h"

namespace {

// The five functions, in the order of the state's configuration spaces.
enum Function { kHost = 0, kMemory = 1, kClockInfo = 2, kPciBridge = 3, kAgpBridge = 4 };

struct FunctionInfo {
    uint8_t device;
    uint8_t function;
    const char* label;  // as lspci writes it, also the prefix of the saved keys
    uint16_t device_id;
    uint8_t revision;
    uint8_t class_code[3];  // programming interface, subclass, class
    uint8_t header_type;    // bit 7: multi-function device
};

// Ids as a real nForce2 (Ultra 400, C1 stepping) board reports them; the MCP2's PCI bridge
// is a device of its own with its own revision.
constexpr uint16_t kNvidia = 0x10DE;
constexpr FunctionInfo kFunctionInfo[Nforce2Pci::kFunctions] = {
    {0x00, 0, "00:00.0", 0x01E0, 0xC1, {0x00, 0x00, 0x06}, 0x80},  // host bridge
    {0x00, 1, "00:00.1", 0x01EB, 0xC1, {0x00, 0x00, 0x05}, 0x80},  // memory controller
    {0x00, 5, "00:00.5", 0x01EF, 0xC1, {0x00, 0x00, 0x05}, 0x80},  // memory controller
    {0x08, 0, "00:08.0", 0x006C, 0xA3, {0x00, 0x04, 0x06}, 0x01},  // external PCI bridge
    {0x1E, 0, "00:1e.0", 0x01E8, 0xC1, {0x00, 0x04, 0x06}, 0x01},  // AGP bridge
};

// The registers software may change, with what the BIOS leaves in them at power-on.
struct WritableRegister {
    int function;
    uint8_t offset;
    int width;  // 1 or 4
    uint32_t power_on;
    uint32_t write_mask;
};

constexpr WritableRegister kWritable[] = {
    // AGP side-band addressing off.
    {kHost, NF2_HOST_AGP_SBA, 1, 0x00, 0xFF},
    // The CPU is not disconnected in stop-grant.
    {kHost, NF2_HOST_CPU_CTRL, 4, 0x00000000, 0xFFFFFFFF},
    // 128 MB aperture: 16 - 0x0C = 4 units of 32 MB.
    {kHost, NF2_HOST_APERTURE, 1, 0x0C, 0xFF},
    // The PLL registers are empty until software takes over; the BIOS clock (00:00.5) is in
    // force while the override bit is clear, whatever the value register holds.
    {kHost, NF2_HOST_PLL_CTRL, 4, 0x00000000, 0xFFFFFFFF},
    {kHost, NF2_HOST_PLL_VALUE, 4, 0x00000000, 0xFFFFFFFF},
    {kHost, NF2_HOST_PLL_OVERRIDE, 1, 0x00, 0x01},
    // Auto-precharge off; DDR timings Tras 11, Trcd 5, Trp 7 as the BIOS sets them from SPD.
    {kMemory, NF2_MEM_AUTO_PRECHARGE, 1, 0x00, 0xFF},
    {kMemory, NF2_MEM_TIMING, 4, 0x70558000, 0xFFFFFFFF},
    // Latency timers of both bridges: 32 clocks.
    {kPciBridge, NF2_BRIDGE_LATENCY, 1, 0x20, 0xFF},
    {kPciBridge, NF2_BRIDGE_SEC_LATENCY, 1, 0x20, 0xFF},
    {kAgpBridge, NF2_BRIDGE_LATENCY, 1, 0x20, 0xFF},
    {kAgpBridge, NF2_BRIDGE_SEC_LATENCY, 1, 0x20, 0xFF},
};

// A write may move the PLL's output this far at once: the CPU and memory follow 1 MHz steps,
// and a larger jump can hang or damage the board. With the PLL's resolution (25.06 MHz x N / M)
// the settings of two neighbouring whole MHz lie at most 1.93 MHz apart (239 and 240 MHz); a
// step that skipped a whole MHz moves further.
constexpr double kMaxFsbStepMhz = 2.0;

constexpr uint32_t kConfigEnable = 0x80000000u;

// The MCP's SMBus controller 00:01.1 is modelled only as far as software finds the SMBus
// hosts through it: its ids and the I/O bases of host 0 and host 1 (registers 0x50 and 0x54,
// bit 0 set: I/O space). Its other registers read 0; writes to it go nowhere.
bool selects_smbus_function(uint32_t address) {
    return (address & kConfigEnable) && ((address >> 16) & 0xFF) == 0 &&
           ((address >> 11) & 0x1F) == 0x01 && ((address >> 8) & 0x07) == 1;
}

uint32_t smbus_function_dword(uint8_t reg) {
    switch (reg) {
        case 0x00:
            return 0x0064u << 16 | kNvidia;
        case 0x50:
            return 0x5001;
        case 0x54:
            return 0x5101;
        default:
            return 0;
    }
}

void put_dword(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::string register_key(int function, uint8_t offset) {
    char key[24];
    std::snprintf(key, sizeof key, "%s/0x%02x", kFunctionInfo[function].label, offset);
    return key;
}

}  // namespace

int nforce2_pll_to_fsb(uint32_t pll_value) {
    const uint32_t m = pll_value & 0xFF;
    const uint32_t n = (pll_value >> 8) & 0xFF;
    if (m == 0)
        return 0;
    return static_cast<int>(n * 25.06 / m);
}

double nforce2_fid_multiplier(uint8_t fid) {
    switch (fid & 0x0F) {
        case 0:
            return 11.0;
        case 1:
            return 11.5;
        case 2:
            return 12.0;
        case 3:
            return 12.5;
        default:
            return (fid & 0x0F) * 0.5 + 3.0;
    }
}

Nforce2Pci::Nforce2Pci(SimWorld& world, const SimProfile& profile)
    : world_(world), boot_fsb_hz_(profile.boot_fsb_hz), fid_code_(profile.fid_code & 0x0F) {
    classify_bytes();
    reset();
}

void Nforce2Pci::reset() {
    power_on_config();
    drive_clocks();
}

// The standard header is the same on every function: ids, revision, class, header type,
// capability pointer and interrupt pin are read-only; the other header bytes (command,
// status, BARs, bridge windows, interrupt line) take writes harmlessly, the model keeping
// their power-on value. Above the header only the registers of the table exist, plus the
// read-only boot clock and FID.
void Nforce2Pci::classify_bytes() {
    for (int f = 0; f < kFunctions; ++f) {
        const bool bridge = kFunctionInfo[f].header_type & 0x01;
        for (int off = 0; off < 256; ++off) {
            ByteKind kind = ByteKind::Absent;
            if (off < 0x40) {
                const bool read_only = off <= 0x03 || (off >= 0x08 && off <= 0x0B) || off == 0x0E ||
                                       off == 0x34 || off == 0x3D ||
                                       (!bridge && off >= 0x2C && off <= 0x2F);
                kind = read_only ? ByteKind::ReadOnly : ByteKind::Ignored;
            }
            if (f == kHost && off == NF2_HOST_FID)
                kind = ByteKind::ReadOnly;
            if (f == kClockInfo && off >= NF2_CLK_BOOT_FSB && off < NF2_CLK_BOOT_FSB + 4)
                kind = ByteKind::ReadOnly;
            kind_[f][off] = kind;
            write_mask_[f][off] = 0;
        }
    }
    for (const WritableRegister& r : kWritable) {
        for (int i = 0; i < r.width; ++i) {
            kind_[r.function][r.offset + i] = ByteKind::Writable;
            write_mask_[r.function][r.offset + i] = static_cast<uint8_t>(r.write_mask >> (8 * i));
        }
    }
}

void Nforce2Pci::power_on_config() {
    state_ = Nforce2PciState{};  // address register 0; reserved registers read 0
    for (int f = 0; f < kFunctions; ++f) {
        const FunctionInfo& info = kFunctionInfo[f];
        uint8_t* c = state_.config[f];
        put_dword(c + 0x00, uint32_t{info.device_id} << 16 | kNvidia);
        c[0x04] = 0x06;  // command: memory space and bus master on
        c[0x08] = info.revision;
        c[0x09] = info.class_code[0];
        c[0x0A] = info.class_code[1];
        c[0x0B] = info.class_code[2];
        c[0x0E] = info.header_type;
    }
    // Bus numbers behind the bridges: primary 0, secondary and subordinate 1 (PCI slots) and
    // 2 (the AGP card). Nothing answers on those buses in the model.
    state_.config[kPciBridge][0x19] = 0x01;
    state_.config[kPciBridge][0x1A] = 0x01;
    state_.config[kAgpBridge][0x19] = 0x02;
    state_.config[kAgpBridge][0x1A] = 0x02;

    put_dword(state_.config[kClockInfo] + NF2_CLK_BOOT_FSB, boot_fsb_hz_);
    state_.config[kHost][NF2_HOST_FID] = static_cast<uint8_t>(fid_code_ << 4);

    for (const WritableRegister& r : kWritable) {
        uint8_t bytes[4];
        put_dword(bytes, r.power_on);
        for (int i = 0; i < r.width; ++i)
            state_.config[r.function][r.offset + i] = bytes[i];
    }
}

uint32_t Nforce2Pci::config_dword(int function, uint8_t offset) const {
    const uint8_t* c = state_.config[function] + offset;
    return uint32_t{c[0]} | uint32_t{c[1]} << 8 | uint32_t{c[2]} << 16 | uint32_t{c[3]} << 24;
}

// With the override bit clear the chipset runs at the clock the BIOS set (kept in whole MHz,
// as the board code reads it); with it set, at what the PLL value makes of the reference.
int Nforce2Pci::running_fsb_mhz() const {
    if (state_.config[kHost][NF2_HOST_PLL_OVERRIDE] & 0x01)
        return nforce2_pll_to_fsb(config_dword(kHost, NF2_HOST_PLL_VALUE));
    return static_cast<int>(config_dword(kClockInfo, NF2_CLK_BOOT_FSB) / 1000000u);
}

// The clock itself, unrounded: what a PLL write moves the CPU by.
double Nforce2Pci::running_fsb_exact() const {
    if (state_.config[kHost][NF2_HOST_PLL_OVERRIDE] & 0x01) {
        const uint32_t pll = config_dword(kHost, NF2_HOST_PLL_VALUE);
        const uint32_t m = pll & 0xFF;
        return m == 0 ? 0.0 : ((pll >> 8) & 0xFF) * 25.06 / m;
    }
    return config_dword(kClockInfo, NF2_CLK_BOOT_FSB) / 1e6;
}

void Nforce2Pci::drive_clocks() {
    world_.fsb_mhz = running_fsb_mhz();
    world_.multiplier = nforce2_fid_multiplier(state_.config[kHost][NF2_HOST_FID] >> 4);
}

bool Nforce2Pci::decodes(uint16_t port) const {
    return port == PCI_CONFIG_ADDRESS || (port >= PCI_CONFIG_DATA && port <= PCI_CONFIG_DATA + 3);
}

int Nforce2Pci::selected_function() const {
    const uint32_t a = state_.config_address;
    if (!(a & kConfigEnable) || ((a >> 16) & 0xFF) != 0)
        return -1;
    const uint8_t device = (a >> 11) & 0x1F;
    const uint8_t function = (a >> 8) & 0x07;
    for (int f = 0; f < kFunctions; ++f)
        if (kFunctionInfo[f].device == device && kFunctionInfo[f].function == function)
            return f;
    return -1;
}

// Only a 32-bit access at 0xCF8 reaches the address register; narrower ones are ordinary
// I/O cycles nobody claims. In the data window each port is one byte lane of the addressed
// dword; the lanes of an access that run past 0xCFF are cycles to ports 0xD00 and up, which
// float. Without the enable bit, or for a function that does not exist, the window floats.
uint32_t Nforce2Pci::in(uint16_t port, int width) {
    if (width < 1 || width > 4)
        return 0xFFFFFFFFu;
    const uint32_t all_ones = width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    if (port == PCI_CONFIG_ADDRESS)
        return width == 4 ? state_.config_address : all_ones;
    state_.address_unused = false;
    const int function = selected_function();
    const bool smbus = function < 0 && selects_smbus_function(state_.config_address);
    if ((function < 0 && !smbus) || !decodes(port))
        return all_ones;
    const int lane = port - PCI_CONFIG_DATA;
    const uint8_t reg = state_.config_address & 0xFC;
    const uint32_t smbus_dword = smbus ? smbus_function_dword(reg) : 0;
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const int at = lane + i;
        uint8_t byte = 0xFF;
        if (at <= 3)
            byte = smbus ? static_cast<uint8_t>(smbus_dword >> (8 * at))
                         : state_.config[function][reg + at];
        value |= uint32_t{byte} << (8 * i);
    }
    return value;
}

void Nforce2Pci::out(uint16_t port, int width, uint32_t value) {
    if (width < 1 || width > 4)
        return;
    if (port == PCI_CONFIG_ADDRESS) {
        if (width == 4)
            write_address(value);
        return;
    }
    state_.address_unused = false;
    const int function = selected_function();
    if (function < 0 || !decodes(port))
        return;
    write_config(function, state_.config_address & 0xFC, port - PCI_CONFIG_DATA, width, value);
}

// An access is an address and then its data. A second address before the first one's data
// means two users of the mechanism cut into each other: one of them reads or writes the
// register the other addressed. That is recorded; writing 0 (no enable bit) closes an access.
void Nforce2Pci::write_address(uint32_t value) {
    if (state_.address_unused && (value & kConfigEnable)) {
        char text[112];
        std::snprintf(text, sizeof text,
                      "PCI configuration address 0x%08x written before the data access of 0x%08x",
                      value, state_.config_address);
        world_.record_fault(text);
    }
    state_.config_address = value;
    state_.address_unused = (value & kConfigEnable) != 0;
}

// Each byte lane takes its own write; read-only and absent bytes keep their value and the
// access is recorded once as a fault. A write that moves the PLL's output by more than a few
// MHz is a fault too, but the clock follows it all the same.
void Nforce2Pci::write_config(int function, uint8_t offset, int lane, int width, uint32_t value) {
    const int fsb_before = running_fsb_mhz();
    const double exact_before = running_fsb_exact();
    const bool stable_before = sim_cpu_stable(world_);
    int bad_offset = -1;
    ByteKind bad_kind = ByteKind::Absent;
    for (int i = 0; i < width && lane + i <= 3; ++i) {
        const int off = offset + lane + i;
        const uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
        const ByteKind kind = kind_[function][off];
        if (kind == ByteKind::Writable) {
            const uint8_t mask = write_mask_[function][off];
            uint8_t& cell = state_.config[function][off];
            const uint8_t written = static_cast<uint8_t>((cell & ~mask) | (byte & mask));
            if (cell != written)
                ++world_.state_changes;
            cell = written;
        } else if ((kind == ByteKind::ReadOnly || kind == ByteKind::Absent) && bad_offset < 0) {
            bad_offset = off;
            bad_kind = kind;
        }
    }
    if (bad_offset >= 0) {
        char text[96];
        std::snprintf(text, sizeof text, "PCI write to %s register 0x%02x %s",
                      kFunctionInfo[function].label, bad_offset,
                      bad_kind == ByteKind::ReadOnly ? "is read-only" : "not on this board");
        world_.record_fault(text);
    }
    if (function != kHost)
        return;
    const int fsb_after = running_fsb_mhz();
    if (std::fabs(running_fsb_exact() - exact_before) > kMaxFsbStepMhz) {
        char text[96];
        std::snprintf(text, sizeof text, "FSB jumped from %d to %d MHz in one PLL write",
                      fsb_before, fsb_after);
        world_.record_fault(text);
    }
    world_.fsb_mhz = fsb_after;
    if (fsb_after != fsb_before)
        sim_cpu_changed(world_, stable_before, current_clock().now_ms());
}

void Nforce2Pci::save(StateSection& out) const {
    out.set_u32("config_address", state_.config_address);
    for (const WritableRegister& r : kWritable) {
        const std::string key = register_key(r.function, r.offset);
        if (r.width == 1)
            out.set_u8(key, state_.config[r.function][r.offset]);
        else
            out.set_u32(key, config_dword(r.function, r.offset));
    }
}

// A value with bits the register cannot hold (an override flag of 2, say) is as invalid as
// junk text. Only the changeable registers are in the file: ids, the boot clock and the FID
// always come from the board's profile.
void Nforce2Pci::load(const StateSection& in, SimLoadReport& report) {
    power_on_config();
    uint32_t address = 0;
    if (in.get_u32("config_address", address))
        state_.config_address = address;
    else
        report.problem("NFORCE2_PCI: config_address missing or invalid, power-on value used");
    for (const WritableRegister& r : kWritable) {
        const std::string key = register_key(r.function, r.offset);
        uint32_t value = 0;
        uint8_t byte = 0;
        const bool read = r.width == 1 ? in.get_u8(key, byte) : in.get_u32(key, value);
        if (r.width == 1)
            value = byte;
        if (!read || (value & ~r.write_mask) != 0) {
            report.problem("NFORCE2_PCI: " + key + " missing or invalid, power-on value used");
            continue;
        }
        uint8_t bytes[4];
        put_dword(bytes, value);
        for (int i = 0; i < r.width; ++i)
            state_.config[r.function][r.offset + i] = bytes[i];
    }
    drive_clocks();
}
