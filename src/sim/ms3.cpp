#include "sim/ms3.h"

void Ms3::reset() {
    for (uint8_t& r : regs_)
        r = 0x00;
    // Both read registers hold something other than 0 and 0xFF, as a present chip does: the
    // chip search tells a chip from an empty address by exactly that.
    regs_[MS3_REG_STATUS] = 0x0A;
    regs_[MS3_REG_ID] = 0x41;
}

uint8_t Ms3::read_byte(uint8_t command) {
    return command < MS3_REG_COUNT ? regs_[command] : 0xFF;
}

void Ms3::write_byte(uint8_t command, uint8_t value) {
    if (command < MS3_REG_COUNT)
        regs_[command] = value;
}

void Ms3::save(StateSection& out) const {
    out.set_bytes("registers", regs_, MS3_REG_COUNT);
}

void Ms3::load(const StateSection& in, SimLoadReport& report) {
    reset();
    if (!in.get_bytes("registers", regs_, MS3_REG_COUNT))
        report.problem("MS3: registers missing or invalid, power-on value used");
}
