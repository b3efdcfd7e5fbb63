// SPDX-License-Identifier: GPL-2.0-or-later
#include "board/chipset.h"

#include "hw/pci.h"

namespace {

// Bus 0 devices and functions.
struct PciFunction {
    uint8_t device;
    uint8_t function;
};
constexpr PciFunction NFORCE2_HOST{0, 0};        // host bridge and AGP controller
constexpr PciFunction NFORCE2_MEMORY{0, 1};      // memory controller
constexpr PciFunction NFORCE2_PCI_BRIDGE{8, 0};  // external PCI bridge
constexpr PciFunction NFORCE2_AGP_BRIDGE{30, 0};

// Host bridge registers.
constexpr uint8_t NFORCE2_REG_REVISION = 0x08;  // 1 byte
constexpr uint8_t NFORCE2_REG_AGP_SBA = 0x49;   // 1 byte, bits 0-1: side-band addressing
constexpr uint8_t NFORCE2_REG_CPU_CTRL = 0x6C;  // 4 bytes, bit 28: disconnect in stop-grant
constexpr uint8_t NFORCE2_REG_APERTURE = 0x80;  // 1 byte, bits 0-3: 16 - size / 32 MB
constexpr uint8_t NFORCE2_REG_FID = 0xF3;       // 1 byte, bits 4-7: multiplier code
constexpr uint32_t AGP_SBA_BITS = 0x03;
constexpr uint32_t STPGNT_BIT = 0x10000000u;
// Memory controller registers.
constexpr uint8_t NFORCE2_REG_AUTO_PRECHARGE = 0x86;  // bit 1 of the byte
constexpr uint32_t AUTO_PRECHARGE_BIT = 0x02;
// 4 bytes, RAM timings in memory clocks: Tras bits 15-19, Trcd bits 20-23, Trp bits 28-31.
constexpr uint8_t NFORCE2_REG_DRAM_TIMING = 0x90;
constexpr int TRAS_SHIFT = 15;
constexpr uint32_t TRAS_MASK = 0x1F;
constexpr int TRCD_SHIFT = 20;
constexpr uint32_t TRCD_MASK = 0x0F;
constexpr int TRP_SHIFT = 28;
constexpr uint32_t TRP_MASK = 0x0F;
// Bridge registers (standard type 1 header).
constexpr uint8_t PCI_REG_LATENCY_TIMER = 0x0D;
constexpr uint8_t PCI_REG_SEC_LATENCY_TIMER = 0x1B;

struct ChipsetState {
    ChipsetSettings last_read{};  // the values read last, all zero at start
};
ChipsetState state;

uint32_t read_reg(PciFunction f, uint8_t reg, int width) {
    uint32_t value = 0;
    pci_config_read(0, f.device, f.function, reg, value, width);
    return value;
}

void write_reg(PciFunction f, uint8_t reg, uint32_t value, int width) {
    pci_config_write(0, f.device, f.function, reg, value, width);
}

// Read, set the bits for a non-zero value or clear them for 0, write back.
void update_bits(PciFunction f, uint8_t reg, int width, uint32_t bits, uint8_t on) {
    const uint32_t value = read_reg(f, reg, width);
    write_reg(f, reg, on ? value | bits : value & ~bits, width);
}

// Puts a RAM timing into its field of the timing register, leaving the other fields.
void set_timing(int shift, uint32_t mask, uint8_t value) {
    const uint32_t timing = read_reg(NFORCE2_MEMORY, NFORCE2_REG_DRAM_TIMING, 4);
    write_reg(NFORCE2_MEMORY, NFORCE2_REG_DRAM_TIMING,
              (timing & ~(mask << shift)) | (value & mask) << shift, 4);
}

uint8_t get_timing(int shift, uint32_t mask) {
    return static_cast<uint8_t>(read_reg(NFORCE2_MEMORY, NFORCE2_REG_DRAM_TIMING, 4) >> shift &
                                mask);
}

// The auto-precharge register is read as a dword starting at 0x86 (its byte lane of the data
// window) but written as the single byte; only the byte at 0x86 is used.
uint8_t get_auto_precharge() {
    return (read_reg(NFORCE2_MEMORY, NFORCE2_REG_AUTO_PRECHARGE, 4) & AUTO_PRECHARGE_BIT) ? 1 : 0;
}

void set_auto_precharge(uint8_t on) {
    const uint32_t byte = read_reg(NFORCE2_MEMORY, NFORCE2_REG_AUTO_PRECHARGE, 4) & 0xFF;
    write_reg(NFORCE2_MEMORY, NFORCE2_REG_AUTO_PRECHARGE,
              on ? byte | AUTO_PRECHARGE_BIT : byte & ~AUTO_PRECHARGE_BIT, 1);
}

// The aperture byte is written whole, without reading it: its upper nibble becomes 0. Size
// 16 (code 0, 512 MB) is not written.
void set_aperture(uint8_t size) {
    if (size <= 15)
        write_reg(NFORCE2_HOST, NFORCE2_REG_APERTURE, 16u - size, 1);
}

}  // namespace

int read_chipset_settings(ChipsetSettings* settings) {
    if (settings == nullptr)
        return 0;
    ChipsetSettings& s = state.last_read;
    s.revision = static_cast<uint8_t>(read_reg(NFORCE2_HOST, NFORCE2_REG_REVISION, 1));
    s.fid = static_cast<uint8_t>(read_reg(NFORCE2_HOST, NFORCE2_REG_FID, 1) >> 4);
    s.auto_precharge = get_auto_precharge();
    s.stpgnt = (read_reg(NFORCE2_HOST, NFORCE2_REG_CPU_CTRL, 4) & STPGNT_BIT) ? 1 : 0;
    s.agp_sba = (read_reg(NFORCE2_HOST, NFORCE2_REG_AGP_SBA, 1) & AGP_SBA_BITS) ? 1 : 0;
    s.agp_aperture =
        static_cast<uint8_t>(16 - (read_reg(NFORCE2_HOST, NFORCE2_REG_APERTURE, 1) & 0x0F));
    s.pci_bus_latency =
        static_cast<uint8_t>(read_reg(NFORCE2_PCI_BRIDGE, PCI_REG_SEC_LATENCY_TIMER, 1));
    s.agp_bus_latency =
        static_cast<uint8_t>(read_reg(NFORCE2_AGP_BRIDGE, PCI_REG_SEC_LATENCY_TIMER, 1));
    s.agp_ctr_latency =
        static_cast<uint8_t>(read_reg(NFORCE2_AGP_BRIDGE, PCI_REG_LATENCY_TIMER, 1));
    s.tras = get_timing(TRAS_SHIFT, TRAS_MASK);
    s.trcd = get_timing(TRCD_SHIFT, TRCD_MASK);
    s.trp = get_timing(TRP_SHIFT, TRP_MASK);
    *settings = s;
    return 1;
}

// Each register is read again right before its own change: nothing is cached between accesses.
int write_chipset_settings(ChipsetSettings* settings) {
    if (settings == nullptr)
        return 0;
    const ChipsetSettings& want = *settings;
    const ChipsetSettings& had = state.last_read;
    if (want.auto_precharge != had.auto_precharge)
        set_auto_precharge(want.auto_precharge);
    if (want.stpgnt != had.stpgnt)
        update_bits(NFORCE2_HOST, NFORCE2_REG_CPU_CTRL, 4, STPGNT_BIT, want.stpgnt);
    if (want.agp_sba != had.agp_sba)
        update_bits(NFORCE2_HOST, NFORCE2_REG_AGP_SBA, 1, AGP_SBA_BITS, want.agp_sba);
    if (want.agp_aperture != had.agp_aperture)
        set_aperture(want.agp_aperture);
    if (want.pci_bus_latency != had.pci_bus_latency)
        write_reg(NFORCE2_PCI_BRIDGE, PCI_REG_SEC_LATENCY_TIMER, want.pci_bus_latency, 1);
    if (want.agp_bus_latency != had.agp_bus_latency)
        write_reg(NFORCE2_AGP_BRIDGE, PCI_REG_SEC_LATENCY_TIMER, want.agp_bus_latency, 1);
    if (want.agp_ctr_latency != had.agp_ctr_latency)
        write_reg(NFORCE2_AGP_BRIDGE, PCI_REG_LATENCY_TIMER, want.agp_ctr_latency, 1);
    if (want.tras != had.tras && want.tras >= 1 && want.tras <= 31)
        set_timing(TRAS_SHIFT, TRAS_MASK, want.tras);
    if (want.trcd != had.trcd && want.trcd >= 1 && want.trcd <= 7)
        set_timing(TRCD_SHIFT, TRCD_MASK, want.trcd);
    if (want.trp != had.trp && want.trp >= 1 && want.trp <= 7)
        set_timing(TRP_SHIFT, TRP_MASK, want.trp);
    return read_chipset_settings(settings);
}

double fid_to_multiplier(uint8_t fid) {
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

void chipset_reset_state() {
    state = ChipsetState{};
}
