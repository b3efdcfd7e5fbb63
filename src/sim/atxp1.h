// SPDX-License-Identifier: GPL-2.0-or-later
// The ATXP1 VID programming chip: it sits between the CPU's VID pins and the core regulator
// and, once its enable bit is set, hands the regulator its own VID code instead. Its two GPIO
// registers drive whatever the board maker wired to them (core voltage add-on, DIMM, chipset
// and AGP voltage selectors), as the board's profile describes.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_profile.h"
#include "sim/sim_world.h"
#include "sim/vcore_rail_watch.h"

inline constexpr uint8_t ATXP1_REG_VID = 0x00;    // bits 4-0 VID code, bit 5 enable
inline constexpr uint8_t ATXP1_REG_CVID = 0x01;   // the CPU's own VID pins, read-only
inline constexpr uint8_t ATXP1_REG_GPIO1 = 0x06;  // board-wired voltage selectors
inline constexpr uint8_t ATXP1_REG_GPIO2 = 0x0A;  // board-wired voltage selectors
inline constexpr uint8_t ATXP1_REG_COUNT = 0x10;

inline constexpr uint8_t ATXP1_VID_MASK = 0x1F;
// The core regulator needs this long to settle on a new VID code before the next one.
inline constexpr uint32_t ATXP1_VID_SETTLE_MS = 100;
inline constexpr uint8_t ATXP1_VID_ENABLE = 0x20;

class Atxp1 : public SimSmbusDevice {
  public:
    // Reset at once: the world's rails take the power-on selection of the chip.
    Atxp1(SimWorld& world, const SimProfile& profile);

    const char* name() const override { return "ATXP1"; }

    // Only registers 0x00-0x0F exist. As the chip answers the probes of the kernel's driver:
    // 0x10-0x1F read back register 0, every other register reads 0.
    uint8_t read_byte(uint8_t command) override;
    // Every write is shown to the core rail's watch.
    void write_byte(uint8_t command, uint8_t value) override;

    VcoreRailWatch& rail_watch() { return watch_; }

    // Another device (a sensor chip with a vendor id) in the ATXP1's place: it answers reads
    // as that device does, every write to it is a fault and changes nothing. Kept in the state
    // file as "other_device=1"; a power cycle keeps it, as a board keeps its chips.
    void set_other_device(bool on) { other_device_ = on; }
    bool other_device() const { return other_device_; }

  protected:
    void reset_registers() override;
    void save_registers(StateSection& out) const override;
    void load_registers(const StateSection& in, SimLoadReport& report) override;

  private:
    VcoreRail core_rail() const;
    // The VID code the regulator follows: the chip's own while enabled, else the CPU's pins.
    uint8_t regulator_code() const;
    // Sets the rails from the registers.
    void drive_rails();
    // Records a new VID code that follows the last one before the regulator settled.
    void watch_vid_pace(uint8_t value, uint32_t now_ms);

    SimWorld& world_;
    const SimProfile& profile_;
    uint8_t regs_[ATXP1_REG_COUNT] = {};
    VcoreRailWatch watch_;
    bool other_device_ = false;
    bool vid_changed_ = false;  // a write changed the VID register since power-on
    uint32_t vid_changed_ms_ = 0;
};
