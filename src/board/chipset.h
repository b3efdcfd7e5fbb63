// SPDX-License-Identifier: GPL-2.0-or-later
// Chipset options and RAM timings of the nForce2 host bridge and its PCI and AGP bridges.
#pragma once

#include <cstdint>

// The chipset options and RAM timings velmora reads and sets: 13 bytes in this fixed order.
struct ChipsetSettings {
    uint8_t revision = 0;         // host bridge revision (read only)
    uint8_t fid = 0;              // CPU multiplier code 0..15 (read only)
    uint8_t auto_precharge = 0;   // memory auto-precharge, 0 / 1
    uint8_t stpgnt = 0;           // CPU disconnect in stop-grant, 0 / 1
    uint8_t agp_sba = 0;          // AGP side-band addressing, 0 / 1
    uint8_t agp_aperture = 0;     // 1..16, in units of 32 MB
    uint8_t pci_bus_latency = 0;  // PCI bridge secondary latency timer, clocks
    uint8_t agp_bus_latency = 0;  // AGP bridge secondary latency timer, clocks
    uint8_t agp_ctr_latency = 0;  // AGP bridge latency timer, clocks
    uint8_t tras = 0;             // 1..31 memory clocks
    uint8_t trcd = 0;             // 1..7 memory clocks
    uint8_t trp = 0;              // 1..7 memory clocks
    uint8_t spare = 0;            // always 0

    bool operator==(const ChipsetSettings&) const = default;
};
static_assert(sizeof(ChipsetSettings) == 13);

// Reads every setting from the chipset into the module's copy and the record. 1, or 0 for no
// record.
int read_chipset_settings(ChipsetSettings* settings);

// Writes each setting whose value differs from the one last read (the module's copy, not the
// hardware), then reads everything back into the record, so that it holds what the chipset
// took; values a register cannot hold are not written. 1, or 0 for no record.
int write_chipset_settings(ChipsetSettings* settings);

// The CPU multiplier of a multiplier code (low 4 bits used).
double fid_to_multiplier(uint8_t fid);

// Forgets the values last read (all zero, as at start), for tests.
void chipset_reset_state();
