// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/ms3.h"

#include <cstdio>

Ms3::Ms3(SimWorld& world, const SimProfile& profile)
    : world_(world), profile_(profile), watch_(world, profile.vcore_add) {
    reset();
}

// The BIOS sets the CPU's own code with the enable bit, as on the ATXP1 boards.
void Ms3::reset_registers() {
    watch_.reset();
    vid_ = MS3_VID_ENABLE | (profile_.cpu_vid_code & MS3_VID_MASK);
    world_.vcore = core_rail().volts();
}

uint8_t Ms3::regulator_code() const {
    return (vid_ & MS3_VID_ENABLE) ? (vid_ & MS3_VID_MASK) : (profile_.cpu_vid_code & MS3_VID_MASK);
}

VcoreRail Ms3::core_rail() const {
    VcoreRail rail;
    rail.vid_volts = sim_vid_volts(regulator_code());
    return rail;
}

uint8_t Ms3::register_value(uint8_t command) const {
    switch (command) {
        case MS3_REG_VID:
            return vid_;
        case MS3_REG_STATUS:
            return MS3_VID_ENABLE | regulator_code();
        case MS3_REG_ID:
            return MS3_ID;
    }
    return command < MS3_REG_COUNT ? 0x00 : 0xFF;
}

uint8_t Ms3::read_byte(uint8_t command) {
    return register_value(command);
}

void Ms3::write_byte(uint8_t command, uint8_t value) {
    if (command != MS3_REG_VID) {
        char text[48];
        std::snprintf(text, sizeof text, "MS-3 register 0x%02x is not writable", command);
        world_.record_fault(text);
        return;
    }
    const VcoreRail before = core_rail();
    if (vid_ != value)
        ++world_.state_changes;
    vid_ = value;
    world_.vcore = core_rail().volts();
    watch_.write(before, core_rail());
}

// The row holds the sixteen registers as they read; only register 0 is the chip's own state,
// the others follow from it.
void Ms3::save_registers(StateSection& out) const {
    uint8_t regs[MS3_REG_COUNT];
    for (uint8_t r = 0; r < MS3_REG_COUNT; ++r)
        regs[r] = register_value(r);
    out.set_bytes("registers", regs, MS3_REG_COUNT);
}

void Ms3::load_registers(const StateSection& in, SimLoadReport& report) {
    uint8_t regs[MS3_REG_COUNT];
    if (in.get_bytes("registers", regs, MS3_REG_COUNT))
        vid_ = regs[MS3_REG_VID];
    else
        report.problem("MS3: registers missing or invalid, power-on value used");
    world_.vcore = core_rail().volts();
}
