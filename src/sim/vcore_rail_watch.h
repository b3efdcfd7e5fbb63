// SPDX-License-Identifier: GPL-2.0-or-later
// The watch on the CPU's core rail that both VID chips report to. A real regulator follows a
// new VID code within microseconds, so the CPU sees every value the rail passes through: a
// change of more than 0.1 V in one write, or a climb above both the starting and the final
// voltage while software walks the rail somewhere, stresses it where a smaller step or another
// order of writes would not have.
#pragma once

#include <cstdint>

#include "sim/sim_profile.h"
#include "sim/sim_world.h"

// Volts of a 5-bit VID code as both VID chips hand it to the regulator: 1.850 V for code 0
// down to 1.075 V for code 31, 25 mV a code.
double sim_vid_volts(uint8_t code);

// The core rail as the VID chip sets it: the VID voltage plus the add-on offset that the
// board's wiring selects.
struct VcoreRail {
    double vid_volts = 0.0;
    int add_index = -1;  // the selected choice of the add-on wiring; -1: none selected
    double add_volts = 0.0;

    double volts() const { return vid_volts + add_volts; }
};

class VcoreRailWatch {
  public:
    // A burst of writes ends at the first pause of this length.
    static constexpr uint32_t kBurstGapMs = 1000;

    VcoreRailWatch(SimWorld& world, const SimVoltageWiring& add_on)
        : world_(world), add_on_(add_on) {}

    // One write to the VID chip, with the rail before and after it, at the clock's present
    // time. Records the faults of the write itself; a write a second or more after the
    // previous one closes the burst that one belonged to.
    void write(const VcoreRail& before, const VcoreRail& after);
    // Closes the open burst when its last write lies a second or more before `now_ms`.
    void advance(uint32_t now_ms);
    // Closes the open burst now, recording its fault if it had one.
    void close();
    // Forgets the open burst without judging it: the board was switched off.
    void reset() { open_ = false; }

  private:
    // Whether a choice of the add-on wiring lies strictly between the two offsets.
    bool skips_an_add_on_choice(double from, double to) const;

    SimWorld& world_;
    const SimVoltageWiring& add_on_;
    bool open_ = false;
    uint32_t last_write_ms_ = 0;
    double start_ = 0.0, peak_ = 0.0, end_ = 0.0;
};
