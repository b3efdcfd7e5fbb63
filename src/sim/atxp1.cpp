// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/atxp1.h"

#include <cmath>
#include <cstdio>

#include "platform/clock.h"
#include "sim/cpu_stability.h"

namespace {

constexpr const char* kOtherDeviceKey = "other_device";

// A sensor chip of another maker in the ATXP1's place: its vendor id in 0x3E/0xFE, its chip
// id in 0x3F/0xFF, a configuration byte elsewhere.
uint8_t other_device_read(uint8_t command) {
    switch (command) {
        case 0x3E:
        case 0xFE:
            return 0x41;
        case 0x3F:
        case 0xFF:
            return 0x27;
        default:
            return 0x5A;
    }
}

// The GPIO pins are pulled up on the board: bits no selector uses read as ones. Register
// 0x06 has only four GPIO bits.
constexpr uint8_t kGpio1PowerOn = 0x0F;
constexpr uint8_t kGpio2PowerOn = 0xFF;

bool wired(const SimVoltageWiring& w) {
    return w.count > 0 && w.reg < ATXP1_REG_COUNT;
}

// The choice the wiring's bits currently select, or nullptr when no choice has that code.
const SimVoltageWiring::Choice* selected(const SimVoltageWiring& w, const uint8_t* regs) {
    if (!wired(w))
        return nullptr;
    const uint8_t bits = regs[w.reg] & w.mask;
    for (int i = 0; i < w.count && i < 8; ++i)
        if ((w.choices[i].code & w.mask) == bits)
            return &w.choices[i];
    return nullptr;
}

// Puts the code of the choice nearest to `volts` into the wiring's bits.
void select_nearest(const SimVoltageWiring& w, double volts, uint8_t* regs) {
    if (!wired(w))
        return;
    int best = 0;
    for (int i = 1; i < w.count && i < 8; ++i)
        if (std::fabs(w.choices[i].volts - volts) < std::fabs(w.choices[best].volts - volts))
            best = i;
    regs[w.reg] = static_cast<uint8_t>((regs[w.reg] & ~w.mask) | (w.choices[best].code & w.mask));
}

void drive_rail(const SimVoltageWiring& w, const uint8_t* regs, double& rail) {
    if (const SimVoltageWiring::Choice* c = selected(w, regs))
        rail = c->volts;
}

}  // namespace

Atxp1::Atxp1(SimWorld& world, const SimProfile& profile)
    : world_(world), profile_(profile), watch_(world, profile.vcore_add) {
    reset();
}

void Atxp1::reset_registers() {
    watch_.reset();
    vid_changed_ = false;
    for (uint8_t& r : regs_)
        r = 0x00;
    // The BIOS of a board the ATXP1 belongs to sets the core voltage through it at boot: the
    // VID register holds the CPU's own code with the enable bit set, so the first change from
    // software steps smoothly from the boot voltage. A BIOS that does not know the chip leaves
    // the enable bit clear, and the regulator follows the CPU's pins through register 1.
    regs_[ATXP1_REG_VID] = profile_.cpu_vid_code & ATXP1_VID_MASK;
    if (profile_.atxp1_programmed_at_boot)
        regs_[ATXP1_REG_VID] |= ATXP1_VID_ENABLE;
    regs_[ATXP1_REG_CVID] = profile_.cpu_vid_code & ATXP1_VID_MASK;
    regs_[ATXP1_REG_GPIO1] = kGpio1PowerOn;
    regs_[ATXP1_REG_GPIO2] = kGpio2PowerOn;
    // The board's jumpers and BIOS leave the selectors at the boot voltages and the core
    // add-on at no offset.
    select_nearest(profile_.vcore_add, 0.0, regs_);
    select_nearest(profile_.vdimm, profile_.boot_vdimm, regs_);
    select_nearest(profile_.vdd, profile_.boot_vdd, regs_);
    select_nearest(profile_.vagp, profile_.boot_vagp, regs_);
    drive_rails();
}

uint8_t Atxp1::regulator_code() const {
    const uint8_t vid = regs_[ATXP1_REG_VID];
    return (vid & ATXP1_VID_ENABLE) ? (vid & ATXP1_VID_MASK)
                                    : (profile_.cpu_vid_code & ATXP1_VID_MASK);
}

VcoreRail Atxp1::core_rail() const {
    VcoreRail rail;
    rail.vid_volts = sim_vid_volts(regulator_code());
    if (const SimVoltageWiring::Choice* add = selected(profile_.vcore_add, regs_)) {
        rail.add_index = static_cast<int>(add - profile_.vcore_add.choices);
        rail.add_volts = add->volts;
    }
    return rail;
}

// VID code 11111 means "no CPU" to a VRM 9.0 regulator: with the chip driving it, the core
// rail goes to 0 V and the machine stops.
void Atxp1::drive_rails() {
    world_.vcore = core_rail().volts();
    if ((regs_[ATXP1_REG_VID] & ATXP1_VID_ENABLE) &&
        (regs_[ATXP1_REG_VID] & ATXP1_VID_MASK) == ATXP1_VID_MASK) {
        world_.vcore = 0.0;
        world_.stopped = true;
    }
    drive_rail(profile_.vdimm, regs_, world_.vdimm);
    drive_rail(profile_.vdd, regs_, world_.vdd);
    drive_rail(profile_.vagp, regs_, world_.vagp);
}

uint8_t Atxp1::read_byte(uint8_t command) {
    if (other_device_)
        return other_device_read(command);
    if (command >= ATXP1_REG_COUNT)
        return command < 2 * ATXP1_REG_COUNT ? regs_[ATXP1_REG_VID] : 0x00;
    if (command == ATXP1_REG_CVID)
        return profile_.cpu_vid_code & ATXP1_VID_MASK;
    return regs_[command];
}

void Atxp1::write_byte(uint8_t command, uint8_t value) {
    if (other_device_) {
        char text[80];
        std::snprintf(text, sizeof text, "write to the device at 0x%02x (no ATXP1) register 0x%02x",
                      profile_.vid_address, command);
        world_.record_fault(text);
        return;
    }
    if (command >= ATXP1_REG_COUNT) {
        char text[48];
        std::snprintf(text, sizeof text, "ATXP1 register 0x%02x does not exist", command);
        world_.record_fault(text);
        return;
    }
    if (command == ATXP1_REG_CVID)
        return;  // input pins
    const uint32_t now = current_clock().now_ms();
    if (command == ATXP1_REG_VID && regs_[command] != value)
        watch_vid_pace(value, now);
    const VcoreRail before = core_rail();
    if (regs_[command] != value)
        ++world_.state_changes;
    const bool was_stopped = world_.stopped;
    const bool stable_before = sim_cpu_stable(world_);
    regs_[command] = value;
    drive_rails();
    if (world_.stopped && !was_stopped) {
        world_.record_fault("VID code 11111 switched the core regulator off: the PC stopped");
        return;
    }
    watch_.write(before, core_rail());
    sim_cpu_changed(world_, stable_before, now);
}

// Stepping the core voltage code by code is only gentle when the regulator has settled on each
// code before the next comes; codes written faster reach the CPU as one jump.
void Atxp1::watch_vid_pace(uint8_t value, uint32_t now_ms) {
    const uint32_t apart = now_ms - vid_changed_ms_;
    if (vid_changed_ && apart < ATXP1_VID_SETTLE_MS) {
        char text[112];
        std::snprintf(text, sizeof text,
                      "ATXP1 VID 0x%02x written %u ms after 0x%02x, before the regulator settled",
                      value, static_cast<unsigned>(apart), regs_[ATXP1_REG_VID]);
        world_.record_fault(text);
    }
    vid_changed_ = true;
    vid_changed_ms_ = now_ms;
}

void Atxp1::save_registers(StateSection& out) const {
    out.set_bytes("registers", regs_, ATXP1_REG_COUNT);
    if (other_device_)
        out.set_int(kOtherDeviceKey, 1);
}

// The rails follow the loaded registers at once, as they would have on the board all along;
// a VID register without the enable bit leaves the regulator on the CPU's pins.
void Atxp1::load_registers(const StateSection& in, SimLoadReport& report) {
    if (!in.get_bytes("registers", regs_, ATXP1_REG_COUNT))
        report.problem("ATXP1: registers missing or invalid, power-on value used");
    int64_t other = 0;
    if (in.find(kOtherDeviceKey) &&
        !(in.get_int(kOtherDeviceKey, other) && (other == 0 || other == 1)))
        report.problem("ATXP1: other_device invalid, 0 used");
    other_device_ = other == 1;
    regs_[ATXP1_REG_CVID] = profile_.cpu_vid_code & ATXP1_VID_MASK;
    drive_rails();
}
