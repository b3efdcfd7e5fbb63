// SPDX-License-Identifier: GPL-2.0-or-later
// The nForce2 chipset as PCI configuration mechanism #1 sees it: the host bridge functions
// 00:00.0 (host/AGP controller with the FSB PLL), 00:00.1 (memory controller), 00:00.5 (boot
// clock information), the external PCI bridge 00:08.0 and the AGP bridge 00:1E.0. The host
// bridge's PLL drives the front-side bus, so this device keeps the world's FSB and multiplier.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_profile.h"
#include "sim/sim_world.h"

// Host bridge 00:00.0.
inline constexpr uint8_t NF2_HOST_AGP_SBA = 0x49;       // bits 0-1: AGP side-band addressing
inline constexpr uint8_t NF2_HOST_CPU_CTRL = 0x6C;      // bit 28: stop-grant disconnect
inline constexpr uint8_t NF2_HOST_APERTURE = 0x80;      // low nibble: 16 - size / 32 MB
inline constexpr uint8_t NF2_HOST_PLL_CTRL = 0xA0;      // 0 before a new value, 0x40 when done
inline constexpr uint8_t NF2_HOST_PLL_VALUE = 0xA4;     // bits 0-7 M, bits 8-15 N
inline constexpr uint8_t NF2_HOST_PLL_OVERRIDE = 0xA8;  // bit 0: the PLL value drives the FSB
inline constexpr uint8_t NF2_HOST_FID = 0xF3;           // upper nibble: CPU multiplier code
// Memory controller 00:00.1.
inline constexpr uint8_t NF2_MEM_AUTO_PRECHARGE = 0x86;  // bit 1
inline constexpr uint8_t NF2_MEM_TIMING = 0x90;          // Tras 15-19, Trcd 20-23, Trp 28-31
// 00:00.5.
inline constexpr uint8_t NF2_CLK_BOOT_FSB = 0x48;  // FSB in Hz as the BIOS set it
// Both bridges (standard type 1 header).
inline constexpr uint8_t NF2_BRIDGE_LATENCY = 0x0D;      // primary latency timer
inline constexpr uint8_t NF2_BRIDGE_SEC_LATENCY = 0x1B;  // secondary bus latency timer

// The FSB in MHz of a PLL value, the way the PLL's reference clock of 25.06 MHz works out
// and the way velmora's board code computes it: trunc(N * 25.06 / M); M = 0 gives 0.
int nforce2_pll_to_fsb(uint32_t pll_value);

// The CPU multiplier of a 4-bit FID code.
double nforce2_fid_multiplier(uint8_t fid);

class Nforce2Pci : public SimIoDevice {
  public:
    static constexpr int kFunctions = 5;

    // Powers on at once: the world's FSB and multiplier take the boot values.
    Nforce2Pci(SimWorld& world, const SimProfile& profile);

    const char* name() const override { return "NFORCE2_PCI"; }
    void reset() override;
    void power_on() { reset(); }
    void save(StateSection& out) const override;
    // The FSB and multiplier follow the loaded registers at once; loading records no fault.
    void load(const StateSection& in, SimLoadReport& report) override;

    // 0xCF8 (the address register, 32-bit only) and the data window 0xCFC-0xCFF.
    bool decodes(uint16_t port) const override;
    uint32_t in(uint16_t port, int width) override;
    void out(uint16_t port, int width, uint32_t value) override;

    // The FSB in MHz that the registers make the PLL run at.
    int running_fsb_mhz() const;
    double running_fsb_exact() const;

  private:
    // What a write to one configuration byte does.
    enum class ByteKind : uint8_t {
        Writable,  // takes the bits of its write mask
        Ignored,   // a standard header byte that may be written harmlessly (command, BARs)
        ReadOnly,  // ids, revision, class, boot clock, FID: a write is a fault
        Absent,    // the board has no register here: a write is a fault
    };

    // Configuration mechanism #1 and the five functions' 256-byte configuration spaces.
    struct Nforce2PciState {
        uint32_t config_address = 0;
        // An enabled address was written and no data access has used it yet.
        bool address_unused = false;
        uint8_t config[kFunctions][256] = {};
    };

    void power_on_config();
    void write_address(uint32_t value);
    void classify_bytes();
    // The function the address register selects, or -1 when it selects none.
    int selected_function() const;
    uint32_t config_dword(int function, uint8_t offset) const;
    void write_config(int function, uint8_t offset, int lane, int width, uint32_t value);
    void drive_clocks();

    SimWorld& world_;
    uint32_t boot_fsb_hz_;
    uint8_t fid_code_;
    Nforce2PciState state_;
    ByteKind kind_[kFunctions][256];
    uint8_t write_mask_[kFunctions][256];
};
