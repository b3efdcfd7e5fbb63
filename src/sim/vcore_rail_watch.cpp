// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/vcore_rail_watch.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "diag/number_text.h"
#include "platform/clock.h"

namespace {

// The most one write may move the rail: four 25 mV codes. The margin takes up the rounding of
// the code voltages.
constexpr double kMaxStepVolts = 0.1 + 1e-9;
// How far the peak of a burst may stand above its higher end before it counts.
constexpr double kPeakToleranceVolts = 0.001;
constexpr double kSameVolts = 1e-9;

std::string volts_text(double v) {
    return fixed_text(v, 3);
}

}  // namespace

double sim_vid_volts(uint8_t code) {
    return 1.85 - (code & 0x1F) * 0.025;
}

bool VcoreRailWatch::skips_an_add_on_choice(double from, double to) const {
    const double low = std::min(from, to) + kSameVolts;
    const double high = std::max(from, to) - kSameVolts;
    for (int i = 0; i < add_on_.count && i < 8; ++i)
        if (add_on_.choices[i].volts > low && add_on_.choices[i].volts < high)
            return true;
    return false;
}

// A change of the add-on alone between two neighbouring choices is the smallest step such a
// board has (0.375 V on one, 0.15 V on another), so it may be larger than 0.1 V. Passing over
// a choice is never needed, however small the step.
void VcoreRailWatch::write(const VcoreRail& before, const VcoreRail& after) {
    const uint32_t now = current_clock().now_ms();
    if (open_ && now - last_write_ms_ >= kBurstGapMs)
        close();

    const bool add_on_only = std::fabs(after.vid_volts - before.vid_volts) < kSameVolts &&
                             before.add_index >= 0 && after.add_index >= 0 &&
                             before.add_index != after.add_index;
    const bool skips = add_on_only && skips_an_add_on_choice(before.add_volts, after.add_volts);
    if (std::fabs(after.volts() - before.volts()) > kMaxStepVolts && (!add_on_only || skips))
        world_.record_fault("Vcore moved from " + volts_text(before.volts()) + " to " +
                            volts_text(after.volts()) + " V in one write");
    else if (skips)
        world_.record_fault("Vcore add-on moved from " + volts_text(before.add_volts) + " to " +
                            volts_text(after.add_volts) + " V in one write, skipping a step");

    if (!open_) {
        open_ = true;
        start_ = peak_ = before.volts();
    }
    peak_ = std::max(peak_, after.volts());
    end_ = after.volts();
    last_write_ms_ = now;
}

void VcoreRailWatch::advance(uint32_t now_ms) {
    if (open_ && now_ms - last_write_ms_ >= kBurstGapMs)
        close();
}

void VcoreRailWatch::close() {
    if (!open_)
        return;
    open_ = false;
    if (peak_ > std::max(start_, end_) + kPeakToleranceVolts)
        world_.record_fault("Vcore peaked at " + volts_text(peak_) + " V between " +
                            volts_text(start_) + " and " + volts_text(end_) +
                            " V in one burst of VID-chip writes");
}
