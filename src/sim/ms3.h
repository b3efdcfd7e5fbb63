// The "MS-3" voltage chip of the MSI K7N2 Delta L, at SMBus address 0x1B. Little is known
// about it beyond the two registers velmora reads (0x0C and 0x0D), so the model is sixteen
// plain byte registers: writes are stored and read back, and no write moves a rail.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"

inline constexpr uint8_t MS3_REG_STATUS = 0x0C;
inline constexpr uint8_t MS3_REG_ID = 0x0D;  // what velmora's chip search probes
inline constexpr uint8_t MS3_REG_COUNT = 0x10;

class Ms3 : public SimSmbusDevice {
  public:
    Ms3() { reset(); }

    const char* name() const override { return "MS3"; }
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    // Registers beyond 0x0F read 0xFF and ignore writes.
    uint8_t read_byte(uint8_t command) override;
    void write_byte(uint8_t command, uint8_t value) override;

  private:
    uint8_t regs_[MS3_REG_COUNT] = {};
};
