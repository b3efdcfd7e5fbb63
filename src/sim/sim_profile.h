// SPDX-License-Identifier: GPL-2.0-or-later
// The boards the simulation can be: one profile per supported mainboard, each with the BIOS
// identity it reports, where its VID chip sits and how that chip's bits are wired to the
// regulators, its monitor chips and its boot values.
#pragma once

#include <cstdint>

// How one group of VID-chip bits is wired to a regulator: each code of (register & mask)
// selects one voltage (for the core: an offset added to the VID voltage).
struct SimVoltageWiring {
    uint8_t reg = 0;
    uint8_t mask = 0;
    int count = 0;  // 0: the board has no such control
    struct Choice {
        double volts;
        uint8_t code;
    } choices[8] = {};
};

enum class SimVidChip { None, Atxp1, Ms3 };
enum class SimMonitorChip { None, W83627HF, W83782D, IT8712F };

struct SimProfile {
    int number;        // the board's number in velmora's board list
    const char* name;  // as velmora names the board

    // BIOS: whether the SMI interface answers, and what it reports.
    bool has_smi;
    bool smi_sensors;        // the BIOS also answers the sensor functions
    uint16_t bios_vendor;    // vendor index (low byte of the board info)
    uint16_t bios_version;   // board version (upper 16 bits of the board info)
    const char* bios_board;  // board name, at most 24 characters

    // The VID chip and its wiring.
    SimVidChip vid_chip;
    uint8_t vid_bus;
    uint8_t vid_address;
    SimVoltageWiring vcore_add, vdimm, vdd, vagp;

    // Monitors: the super-I/O chip behind ports 0x295/0x296, and an LM90 on the SMBus.
    SimMonitorChip monitor;
    int lm90_bus;  // 0 or 1; -1 none

    // Boot values: FSB in Hz as the BIOS programs it, the CPU's multiplier code (upper nibble
    // of host bridge register 0xF3), the CPU's own VID code, and the voltages the board's
    // jumpers and BIOS select at power-on.
    uint32_t boot_fsb_hz;
    uint8_t fid_code;
    uint8_t cpu_vid_code;
    double boot_vdimm, boot_vdd, boot_vagp;
    // Whether the BIOS sets the ATXP1's VID register (the CPU's code with the enable bit) at
    // boot. A BIOS that does not know the chip leaves the enable bit clear, and the regulator
    // follows the CPU's own VID pins.
    bool atxp1_programmed_at_boot;
    // A third fan on the monitor's fan-3 header, full speed in rpm; 0: nothing connected.
    double fan3_max_rpm = 0.0;
    // Where the BIOS's CPU temperature comes from: a diode on the CPU's die, or a sensor in
    // the socket under it (bit 16 of the SMI answer).
    bool smi_cpu_temp_on_die = false;
};

inline constexpr int kSimProfileCount = 15;
inline constexpr int kDefaultSimProfile = 7;  // Epox 8RDA+ Rev. 2.x: every voltage control

// The profile of a board number, or nullptr outside 0..14.
const SimProfile* sim_profile(int number);
