// SPDX-License-Identifier: GPL-2.0-or-later
// The LM90 remote-diode temperature sensor at SMBus address 0x4C: its own die temperature
// (the board's) and the CPU's thermal diode, each as a signed whole-degree byte, with a
// conversion rate and a configuration that software can change. Read and write addresses of
// one setting differ, as on the real chip.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_world.h"

inline constexpr uint8_t LM90_REG_R_LOCAL_TEMP = 0x00;
inline constexpr uint8_t LM90_REG_R_REMOTE_TEMPH = 0x01;
inline constexpr uint8_t LM90_REG_R_CONFIG1 = 0x03;
inline constexpr uint8_t LM90_REG_R_CONVRATE = 0x04;
inline constexpr uint8_t LM90_REG_W_CONFIG1 = 0x09;
inline constexpr uint8_t LM90_REG_W_CONVRATE = 0x0A;
inline constexpr uint8_t LM90_REG_R_MAN_ID = 0xFE;
inline constexpr uint8_t LM90_REG_R_CHIP_ID = 0xFF;  // die revision

inline constexpr uint8_t LM90_MAN_ID = 0x01;   // the maker's id of every LM90
inline constexpr uint8_t LM90_CHIP_ID = 0x21;  // die revision of an LM90
inline constexpr uint8_t LM99_CHIP_ID = 0x31;  // an LM99 (or LM89): same maker's id

class Lm90 : public SimSmbusDevice {
  public:
    explicit Lm90(SimWorld& world) : world_(world) { reset(); }

    const char* name() const override { return "LM90"; }

    // Temperatures come from the world at the moment of the read; other registers read 0xFF.
    // A write to anything but the two write registers is a fault and changes nothing.
    uint8_t read_byte(uint8_t command) override;
    void write_byte(uint8_t command, uint8_t value) override;

  protected:
    void reset_registers() override;
    void save_registers(StateSection& out) const override;
    void load_registers(const StateSection& in, SimLoadReport& report) override;

  private:
    SimWorld& world_;
    uint8_t config_ = 0;
    uint8_t convrate_ = 0;
    // "chip_id" in the state file: 0x3x makes it an LM99, whose remote reading is 16 degrees
    // low (its diode model is another CPU's). A power cycle keeps it, like a soldered chip.
    uint8_t chip_id_ = LM90_CHIP_ID;
};
