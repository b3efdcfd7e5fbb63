// The ATXP1 VID programming chip: it sits between the CPU's VID pins and the core regulator
// and, once its enable bit is set, hands the regulator its own VID code instead. Its two GPIO
// registers drive whatever the board maker wired to them (core voltage add-on, DIMM, chipset
// and AGP voltage selectors), as the board's profile describes.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_profile.h"
#include "sim/sim_world.h"

inline constexpr uint8_t ATXP1_REG_VID = 0x00;    // bits 4-0 VID code, bit 5 enable
inline constexpr uint8_t ATXP1_REG_CVID = 0x01;   // the CPU's own VID pins, read-only
inline constexpr uint8_t ATXP1_REG_GPIO1 = 0x06;  // board-wired voltage selectors
inline constexpr uint8_t ATXP1_REG_GPIO2 = 0x0A;  // board-wired voltage selectors
inline constexpr uint8_t ATXP1_REG_COUNT = 0x10;

inline constexpr uint8_t ATXP1_VID_MASK = 0x1F;
inline constexpr uint8_t ATXP1_VID_ENABLE = 0x20;

// Volts of a 5-bit VID code: 1.850 V for code 0 down to 1.075 V for code 31.
double atxp1_vid_volts(uint8_t code);

class Atxp1 : public SimSmbusDevice {
  public:
    // Reset at once: the world's rails take the power-on selection of the chip.
    Atxp1(SimWorld& world, const SimProfile& profile);

    const char* name() const override { return "ATXP1"; }
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    uint8_t read_byte(uint8_t command) override;
    void write_byte(uint8_t command, uint8_t value) override;

  private:
    // The VID code the regulator follows: the chip's own while enabled, else the CPU's pins.
    uint8_t regulator_code() const;
    // Sets the rails from the registers.
    void drive_rails();

    SimWorld& world_;
    const SimProfile& profile_;
    uint8_t regs_[ATXP1_REG_COUNT] = {};
};
