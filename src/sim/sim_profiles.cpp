// SPDX-License-Identifier: GPL-2.0-or-later
// The boards the simulation can be. The wiring of each board's VID-chip bits is that board's
// own hardware: it is written out here independently of velmora's board table, so the
// simulation shows whether that table drives the board right.
#include "sim/sim_profile.h"

namespace {

using W = SimVoltageWiring;

// Core offsets and rails, as the boards' regulators are wired to the ATXP1's registers 0x06
// and 0x0A.
constexpr W kNone{};
constexpr W kAbitAdd{0x06, 0x08, 2, {{0.0, 0x08}, {0.375, 0x00}}};
constexpr W kAbitDimm{0x0A, 0x07, 4, {{2.6, 0x03}, {2.7, 0x01}, {2.8, 0x07}, {2.9, 0x02}}};
constexpr W kAbitVdd{0x0A, 0x38, 4, {{1.4, 0x38}, {1.5, 0x30}, {1.6, 0x28}, {1.7, 0x18}}};
constexpr W kAopenDimm{0x06, 0x03, 4, {{2.5, 0x03}, {2.55, 0x02}, {2.6, 0x01}, {2.65, 0x00}}};
constexpr W kAopenAgp{0x06, 0x0C, 4, {{1.5, 0x00}, {1.53, 0x08}, {1.56, 0x04}, {1.6, 0x0C}}};
constexpr W kChaintechDimm{0x06, 0x03, 4, {{2.5, 0x03}, {2.6, 0x02}, {2.7, 0x01}, {2.8, 0x00}}};
constexpr W kChaintechAgp{0x0A, 0x60, 4, {{1.5, 0x60}, {1.6, 0x40}, {1.7, 0x20}, {1.8, 0x00}}};
constexpr W kDfiAdd{0x0A, 0x0C, 3, {{0.0, 0x0C}, {0.05, 0x08}, {0.1, 0x00}}};
constexpr W kDfiDimm{0x06, 0x03, 4, {{2.6, 0x00}, {2.7, 0x01}, {2.8, 0x02}, {2.9, 0x03}}};
constexpr W kDfiVdd{0x0A, 0x01, 2, {{1.6, 0x01}, {1.7, 0x00}}};
// The DFI boards' AGP bit adds 0.4 V to the regulator's 1.5 V.
constexpr W kDfiAgp{0x0A, 0x20, 2, {{1.9, 0x20}, {1.5, 0x00}}};
constexpr W kEpoxAdd{0x0A,
                     0x38,
                     8,
                     {{0.0, 0x38},
                      {0.05, 0x30},
                      {0.1, 0x28},
                      {0.15, 0x20},
                      {0.2, 0x18},
                      {0.25, 0x10},
                      {0.3, 0x08},
                      {0.35, 0x00}}};
constexpr W kEpoxDimm{0x06, 0x0C, 4, {{2.5, 0x00}, {2.63, 0x04}, {2.77, 0x08}, {2.9, 0x0C}}};
constexpr W kEpoxVdd{0x06, 0x03, 3, {{1.6, 0x03}, {1.8, 0x02}, {2.0, 0x01}}};
constexpr W kEpoxAgp{0x0A, 0xC0, 4, {{1.5, 0xC0}, {1.6, 0x80}, {1.7, 0x40}, {1.8, 0x00}}};
constexpr W kShuttleAdd{0x0A, 0x01, 2, {{0.0, 0x01}, {0.15, 0x00}}};
constexpr W kShuttleDimm{0x0A, 0x30, 4, {{2.5, 0x30}, {2.6, 0x20}, {2.7, 0x10}, {2.8, 0x00}}};
constexpr W kShuttleAgp{0x0A, 0xC0, 4, {{1.5, 0xC0}, {1.55, 0x80}, {1.6, 0x40}, {1.65, 0x00}}};

// Every board boots a Barton at 166 MHz x 11 and 1.650 V (CPU VID code 8).
constexpr uint32_t kBootFsbHz = 166666666;
constexpr uint8_t kBartonFid = 0;
constexpr uint8_t kVid165 = 8;

// Whether the BIOS programs the ATXP1 at boot.
constexpr bool BiosSetsVid = true;
constexpr bool BiosLeavesVid = false;

constexpr SimVidChip A = SimVidChip::Atxp1;
constexpr SimMonitorChip W627 = SimMonitorChip::W83627HF;
constexpr SimMonitorChip W782 = SimMonitorChip::W83782D;
constexpr SimMonitorChip ITE = SimMonitorChip::IT8712F;
constexpr SimMonitorChip NoMon = SimMonitorChip::None;
constexpr double kCaseFanRpm = 1800.0;  // a case fan on the fan-3 header
constexpr bool kCpuDieSensor = true;    // the BIOS reads the CPU's own diode

// clang-format off
const SimProfile kProfiles[kSimProfileCount] = {
    {0, "Abit NF7", true, false, 4, 0x0, "NF7 Series", A, 0, 0x4E,
     kAbitAdd, kAbitDimm, kAbitVdd, kNone, W627, -1, kBootFsbHz, kBartonFid, kVid165,
     2.6, 1.6, 0, BiosSetsVid},
    {1, "Aopen AK79D-400VN", true, false, 11, 0x0, "AK79D", A, 1, 0x4E,
     kNone, kAopenDimm, kNone, kAopenAgp, ITE, -1, kBootFsbHz, kBartonFid, kVid165,
     2.6, 0, 1.5, BiosSetsVid, kCaseFanRpm},
    {2, "Asus A7N8X", true, false, 2, 0x0, "A7N8X", A, 0, 0x4E,
     kNone, kNone, kNone, kNone, W782, -1, kBootFsbHz, kBartonFid, kVid165, 0, 0, 0, BiosSetsVid},
    {3, "Chaintech CT-7NJL1/CT-7NJS", true, false, 5, 0x0, "CT-7NJ", A, 0, 0x4E,
     kNone, kChaintechDimm, kNone, kChaintechAgp, W627, -1, kBootFsbHz, kBartonFid, kVid165,
     2.6, 0, 1.5, BiosSetsVid},
    {4, "DFI Infinity NFII Ultra", true, false, 16, 0x0, "Infinity", A, 1, 0x4E,
     kDfiAdd, kDfiDimm, kDfiVdd, kDfiAgp, W627, 1, kBootFsbHz, kBartonFid, kVid165,
     2.6, 1.6, 1.5, BiosSetsVid},
    {5, "DFI Lanparty NFII Ultra", true, false, 16, 0x0, "Lanparty", A, 1, 0x4E,
     kDfiAdd, kDfiDimm, kDfiVdd, kDfiAgp, W627, 1, kBootFsbHz, kBartonFid, kVid165,
     2.6, 1.6, 1.5, BiosSetsVid},
    {6, "Epox 8RDA+ Rev. 1.x", true, false, 6, 0x200, "EP-8RDA+", A, 0, 0x37,
     kEpoxAdd, kEpoxDimm, kNone, kEpoxAgp, W627, -1, kBootFsbHz, kBartonFid, kVid165,
     2.63, 0, 1.5, BiosSetsVid},
    {7, "Epox 8RDA+ Rev. 2.x", true, false, 6, 0x0, "EP-8RDA+", A, 0, 0x37,
     kEpoxAdd, kEpoxDimm, kEpoxVdd, kEpoxAgp, W627, -1, kBootFsbHz, kBartonFid, kVid165,
     2.63, 1.6, 1.5, BiosSetsVid, kCaseFanRpm},
    // Shares vendor and name with the two boards above; a version of its own makes the
    // board lookup land here as the last match.
    {8, "Epox 8RDA3[+,I,E]", true, false, 6, 0x100, "EP-8RDA", A, 0, 0x37,
     kEpoxAdd, kEpoxDimm, kEpoxVdd, kEpoxAgp, W782, -1, kBootFsbHz, kBartonFid, kVid165,
     2.63, 1.6, 1.5, BiosSetsVid},
    {9, "Leadtek K7NCR-18D", true, false, 7, 0x0, "K7NCR", A, 0, 0x37,
     kEpoxAdd, kEpoxDimm, kNone, kEpoxAgp, ITE, -1, kBootFsbHz, kBartonFid, kVid165,
     2.63, 0, 1.5, BiosSetsVid},
    {10, "MSI K7N2 Delta L", true, false, 3, 0x0, "K7N2", SimVidChip::Ms3, 0, 0x1B,
     kNone, kNone, kNone, kNone, W627, 0, kBootFsbHz, kBartonFid, kVid165, 0, 0, 0, BiosSetsVid},
    {11, "Shuttle AN35N Ultra V1.1", true, false, 8, 0x0, "AN35N", A, 1, 0x37,
     kShuttleAdd, kShuttleDimm, kNone, kShuttleAgp, ITE, -1, kBootFsbHz, kBartonFid, kVid165,
     2.6, 0, 1.5, BiosSetsVid},
    // No super-I/O monitor: the BIOS reports the sensors through SMI.
    {12, "Shuttle SN45G", true, true, 8, 0x0, "SN45G", A, 1, 0x37,
     kNone, kShuttleDimm, kNone, kShuttleAgp, NoMon, -1, kBootFsbHz, kBartonFid, kVid165,
     2.6, 0, 1.5, BiosSetsVid, 0.0, kCpuDieSensor},
    {13, "Soltek 75FRN(2)-L", true, false, 12, 0x0, "75FRN", A, 0, 0x4E,
     kNone, kNone, kNone, kNone, W627, -1, kBootFsbHz, kBartonFid, kVid165, 0, 0, 0, BiosSetsVid},
    // An unknown board: a BIOS without the SMI interface, no monitor chip, and an ATXP1 that
    // only the chip search finds and that the BIOS leaves unprogrammed.
    {14, "General board", false, false, 0, 0x0, "", A, 1, 0x4E,
     kNone, kNone, kNone, kNone, NoMon, -1, kBootFsbHz, kBartonFid, kVid165,
     0, 0, 0, BiosLeavesVid},
};
// clang-format on

}  // namespace

const SimProfile* sim_profile(int number) {
    if (number < 0 || number >= kSimProfileCount)
        return nullptr;
    return &kProfiles[number];
}
