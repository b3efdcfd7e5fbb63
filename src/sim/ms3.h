// SPDX-License-Identifier: GPL-2.0-or-later
// The "MS-3" voltage chip of the MSI K7N2 Delta L, at SMBus address 0x1B. Its register 0 hands
// the core regulator a VID code like the ATXP1's (bits 4-0, 1.850 V - code x 0.025 V) once its
// enable bit (bit 5) is set; with the bit clear the regulator follows the CPU's own VID pins.
// Register 0x0C reads back what the regulator follows as 0x20 | code, and register 0x0D holds
// the chip's id byte, the register velmora's chip search probes. Only register 0 takes writes.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_profile.h"
#include "sim/sim_world.h"
#include "sim/vcore_rail_watch.h"

inline constexpr uint8_t MS3_REG_VID = 0x00;     // bits 4-0 VID code, bit 5 enable
inline constexpr uint8_t MS3_REG_STATUS = 0x0C;  // 0x20 | the code the regulator follows
inline constexpr uint8_t MS3_REG_ID = 0x0D;      // what velmora's chip search probes
inline constexpr uint8_t MS3_REG_COUNT = 0x10;

inline constexpr uint8_t MS3_VID_MASK = 0x1F;
inline constexpr uint8_t MS3_VID_ENABLE = 0x20;
inline constexpr uint8_t MS3_ID = 0x41;

class Ms3 : public SimSmbusDevice {
  public:
    // Reset at once: the world's core rail takes the power-on code.
    Ms3(SimWorld& world, const SimProfile& profile);

    const char* name() const override { return "MS3"; }

    // Registers 0x01-0x0B, 0x0E and 0x0F read 0; beyond 0x0F the bus floats (0xFF).
    uint8_t read_byte(uint8_t command) override;
    // A write to any register but 0 is a fault and changes nothing.
    void write_byte(uint8_t command, uint8_t value) override;

    VcoreRailWatch& rail_watch() { return watch_; }

  protected:
    void reset_registers() override;
    void save_registers(StateSection& out) const override;
    void load_registers(const StateSection& in, SimLoadReport& report) override;

  private:
    uint8_t regulator_code() const;
    uint8_t register_value(uint8_t command) const;
    VcoreRail core_rail() const;

    SimWorld& world_;
    const SimProfile& profile_;
    uint8_t vid_ = 0;  // register 0
    VcoreRailWatch watch_;
};
