// SPDX-License-Identifier: GPL-2.0-or-later
// The chips on SMBus 0 that velmora has no business with but a real board always has: the
// serial presence detect EEPROMs of the memory modules (0x50-0x53) and the clock generator
// (0x69). They answer reads like the real chips; a write to any of them would corrupt a
// module's timing data or change a bus clock behind the PLL's back, so every write is recorded
// as a fault and changes nothing. They hold no state worth keeping and have no section in the
// state file.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_world.h"

inline constexpr uint8_t kSpdFirstAddress = 0x50;  // and the three above it
inline constexpr uint8_t kClockGeneratorAddress = 0x69;

inline constexpr int SPD_SIZE = 256;
inline constexpr uint8_t SPD_MEMORY_TYPE_DDR = 0x07;  // byte 2
inline constexpr int CLOCKGEN_REG_COUNT = 8;

// A chip that only answers reads: every write to it is recorded as a fault ("write to <what>
// 0x50 register 0x00") and changes nothing; it keeps no state.
class SmbusBystander : public SimSmbusDevice {
  public:
    SmbusBystander(SimWorld& world, const char* what, uint8_t address)
        : world_(world), what_(what), address_(address) {}
    void write_byte(uint8_t command, uint8_t value) override;

  protected:
    void reset_registers() override {}
    void save_registers(StateSection&) const override {}
    void load_registers(const StateSection&, SimLoadReport&) override {}

  private:
    SimWorld& world_;
    const char* what_;
    uint8_t address_;
};

// The EEPROM of one DDR400 (PC3200) module of 512 MB, CL 3: bytes 0-63 the timing data with
// their checksum in byte 63, a part number from byte 73, the rest erased (0xFF).
class SpdEeprom : public SmbusBystander {
  public:
    SpdEeprom(SimWorld& world, uint8_t address);

    const char* name() const override { return "SPD"; }
    uint8_t read_byte(uint8_t command) override { return image_[command]; }

  private:
    uint8_t image_[SPD_SIZE];
};

// A clock generator's control bytes: output enables, the frequency selection the board's
// straps made, and the vendor/revision byte. Beyond them the bus floats.
class ClockGenerator : public SmbusBystander {
  public:
    explicit ClockGenerator(SimWorld& world)
        : SmbusBystander(world, "the clock generator", kClockGeneratorAddress) {}

    const char* name() const override { return "CLOCKGEN"; }
    uint8_t read_byte(uint8_t command) override;
};
