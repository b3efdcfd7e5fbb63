// SPDX-License-Identifier: GPL-2.0-or-later
// The CMOS RAM of the board's real-time clock (an MC146818-compatible block inside the
// southbridge): 128 bytes behind an index port and a data port. Bytes 0x00-0x0D are the clock
// and its status registers, 0x0E-0x3F the standard BIOS configuration area, 0x40-0x7F the
// BIOS maker's own settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_profile.h"

inline constexpr uint16_t kCmosIndexPort = 0x70;
inline constexpr uint16_t kCmosDataPort = 0x71;
inline constexpr size_t kCmosSize = 128;

// Bit 7 of a write to the index port masks the NMI; the low seven bits select the byte.
inline constexpr uint8_t kCmosNmiDisable = 0x80;
inline constexpr uint8_t kCmosIndexMask = 0x7F;

// MC146818 register numbers.
inline constexpr uint8_t kRtcSeconds = 0x00;
inline constexpr uint8_t kRtcMinutes = 0x02;
inline constexpr uint8_t kRtcHours = 0x04;
inline constexpr uint8_t kRtcDayOfWeek = 0x06;
inline constexpr uint8_t kRtcDayOfMonth = 0x07;
inline constexpr uint8_t kRtcMonth = 0x08;
inline constexpr uint8_t kRtcYear = 0x09;
inline constexpr uint8_t kRtcStatusA = 0x0A;
inline constexpr uint8_t kRtcStatusB = 0x0B;
inline constexpr uint8_t kRtcStatusC = 0x0C;
inline constexpr uint8_t kRtcStatusD = 0x0D;
inline constexpr uint8_t kRtcStatusAUpdateInProgress = 0x80;
inline constexpr uint8_t kRtcStatusDValidRam = 0x80;  // VRT: the battery kept the contents

// Standard configuration area.
inline constexpr uint8_t kCmosFloppyTypes = 0x10;
inline constexpr uint8_t kCmosEquipment = 0x14;
inline constexpr uint8_t kCmosBaseMemoryLow = 0x15;
inline constexpr uint8_t kCmosBaseMemoryHigh = 0x16;
inline constexpr uint8_t kCmosExtMemoryLow = 0x17;
inline constexpr uint8_t kCmosExtMemoryHigh = 0x18;
inline constexpr uint8_t kCmosChecksumHigh = 0x2E;  // sum of bytes 0x10-0x2D, big-endian
inline constexpr uint8_t kCmosChecksumLow = 0x2F;
inline constexpr uint8_t kCmosPostExtMemoryLow = 0x30;
inline constexpr uint8_t kCmosPostExtMemoryHigh = 0x31;
inline constexpr uint8_t kCmosCentury = 0x32;

// Where the simulated BIOS keeps the CPU multiplier code it programs at boot (its low nibble);
// the BIOS tells the SMI caller this place through function 0x27.
inline constexpr uint8_t kCmosMultiplierIndex = 0x5D;
inline constexpr uint8_t kCmosMultiplierMask = 0x0F;

class Cmos : public SimIoDevice {
  public:
    explicit Cmos(const SimProfile& profile);

    const char* name() const override { return "CMOS"; }
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    bool decodes(uint16_t port) const override {
        return port == kCmosIndexPort || port == kCmosDataPort;
    }
    uint32_t in(uint16_t port, int width) override;
    void out(uint16_t port, int width, uint32_t value) override;

    bool nmi_disabled() const { return (index_ & kCmosNmiDisable) != 0; }
    uint8_t byte(uint8_t index) const { return ram_[index & kCmosIndexMask]; }

  private:
    uint8_t read_port(uint16_t port) const;
    void write_port(uint16_t port, uint8_t value);

    uint8_t fid_code_;
    uint8_t index_;  // last byte written to the index port, NMI bit included
    uint8_t ram_[kCmosSize];
};
