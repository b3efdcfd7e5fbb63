// SPDX-License-Identifier: GPL-2.0-or-later
#include "board/voltage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "board/vcore_sequence.h"
#include "board/vid_chip.h"
#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "platform/clock.h"

namespace {

constexpr int kVidTopMillivolts = 1850;    // VID code 0
constexpr int kMillivoltsPerVidCode = 25;  // one VID code
constexpr double kVidTopVolts = kVidTopMillivolts / 1000.0;
constexpr double kVoltsPerVidCode = kMillivoltsPerVidCode / 1000.0;
constexpr double kVidCodesPerVolt = 1000.0 / kMillivoltsPerVidCode;
// The conversions in volts use exactly the doubles of the decimal values.
static_assert(kVidTopVolts == 1.85 && kVoltsPerVidCode == 0.025 && kVidCodesPerVolt == 40.0);
constexpr uint8_t kVidCodeMask = 0x1F;        // the five code bits of the VID register
constexpr int kVidCodeMax = kVidCodeMask;     // 1.075 V
constexpr double kAddOnMargin = 0.01;         // added to the wanted offset before it is looked up
constexpr int kMaxVcoreStepMillivolts = 100;  // larger changes are stepped code by code

int vid_to_millivolts(int code) {
    return kVidTopMillivolts - (code & kVidCodeMask) * kMillivoltsPerVidCode;
}

int slots_before_end(const VoltageTable& t) {
    int n = 0;
    while (n < kTableSlots && t.values[n] != TABLE_END)
        ++n;
    return n;
}

uint8_t mirrored(const VidChip& chip, uint8_t reg) {
    return reg < sizeof chip.registers ? chip.registers[reg] : 0;
}

// The register byte that selects `code` in the table's bits and keeps every other bit as the
// chip last reported it.
uint8_t merged(const VidChip& chip, const VoltageTable& t, uint8_t code) {
    return static_cast<uint8_t>(code | (mirrored(chip, t.reg) & ~t.mask));
}

// Before a setter writes, the chip must be there and every register it merges into must have
// been read. Without a chip the address is 0, the general call that every device on the bus
// obeys; a device that is not the chip must not get its bytes; and a register that did not
// answer holds no bits worth keeping.
bool chip_readable(VidChip& chip) {
    if (chip.address == 0)
        return false;
    if (!chip.identified && !vid_chip_identify(chip))
        return false;
    if (vid_chip_read_registers_checked(chip).complete())
        return true;
    debug_print("ATXP1: Reading the registers failed, nothing written\n");
    return false;
}

// The common part of the Vdimm, Vdd and Vagp setters. A board without the control refuses
// every value: 0.0 would otherwise pass the range check of an empty table and find code 0 in
// its unused slots, rewriting register 0 (the VID register) and reporting success.
int set_table_voltage(Board& board, const VoltageTable& table, double v, int refusal,
                      const char* log_line) {
    if (table_count(table) == 0 || v < table_min(table) || v > table_max(table))
        return refusal;
    if (!chip_readable(board.chip))
        return ERR_SMB_WRITE;
    const uint8_t code = table_code_of_value(table, v);
    if (code == TABLE_NO_CODE)
        return refusal;
    const uint8_t value = merged(board.chip, table, code);
    debug_print(log_line, value);
    return vid_chip_write_register(board.chip, table.reg, value);
}

// The VID code and add-on bits that give v: above the VID range the add-on takes the rest (a
// margin more, then the table's value), the VID code what remains.
struct VcoreTarget {
    bool raised = false;
    double g = 0.0;  // the offset asked of the add-on bits
    uint8_t add_code = 0;
    int code = -1;
    double add_volts = 0.0;
    bool valid() const { return add_code != TABLE_NO_CODE && code >= 0 && code <= kVidCodeMax; }
};

VcoreTarget vcore_target(const VoltageTable& add, double v) {
    VcoreTarget t;
    t.raised = v > kVidTopVolts;
    if (t.raised) {
        t.g = v - kVidTopVolts + kAddOnMargin;
        t.add_code = table_code_of_value(add, t.g);
        if (t.add_code == TABLE_NO_CODE)
            return t;
        t.add_volts = table_value_of_code(add, t.add_code);
        v -= t.add_volts;
    } else {
        t.add_code = table_code_of_value(add, 0.0);
    }
    t.code = voltage_to_vid(v);
    return t;
}

}  // namespace

double vcore_setting(const Board& board, double v) {
    const VcoreTarget t = vcore_target(board.vcore_add, v);
    if (!t.valid())
        return v;
    return (vid_to_millivolts(t.code) + std::lround(t.add_volts * 1000.0)) / 1000.0;
}

double vid_to_voltage(int code) {
    return kVidTopVolts - (code & kVidCodeMask) * kVoltsPerVidCode;
}

int voltage_to_vid(double v) {
    return static_cast<int>(std::trunc((kVidTopVolts - v) * kVidCodesPerVolt + 0.5));
}

bool same_volts(double a, double b) {
    return std::lround(a * 1000.0) == std::lround(b * 1000.0);
}

double table_min(const VoltageTable& table) {
    return slots_before_end(table) > 0 ? table.values[0] : 0.0;
}

double table_max(const VoltageTable& table) {
    const int n = slots_before_end(table);
    return n > 0 ? table.values[n - 1] : 0.0;
}

int table_count(const VoltageTable& table) {
    return slots_before_end(table);
}

int table_index_of(const VoltageTable& table, double v) {
    const int n = slots_before_end(table);
    for (int i = 0; i < n; ++i)
        if (table.values[i] == v)
            return i;
    return 0;
}

double table_value_of_code(const VoltageTable& table, uint8_t code) {
    const int n = slots_before_end(table);
    for (int i = 0; i < n; ++i)
        if (table.codes[i] == (code & table.mask))
            return table.values[i];
    return 0.0;
}

double table_value_of_register(const Board& board, const VoltageTable& table) {
    return table_value_of_code(table, mirrored(board.chip, table.reg));
}

uint8_t table_code_of_value(const VoltageTable& table, double v) {
    for (int i = 0; i < kTableSlots; ++i)
        if (table.values[i] == v)
            return table.codes[i];
    for (int i = 1; i < kTableSlots; ++i) {
        const double a = std::fabs(v - table.values[i - 1]);
        const double b = std::fabs(v - table.values[i]);
        if (b <= a)
            continue;
        if (table.values[i - 1] != 0.0)
            return table.codes[i - 1];
        return static_cast<uint8_t>(static_cast<int64_t>(table.values[i]) & 0xFF);
    }
    return TABLE_NO_CODE;
}

// Above 1.85 V the five VID bits run out: the board's add-on bits lift the regulator's output
// by a fixed offset, and the VID code sets the rest. At or below 1.85 V the add-on selects no
// offset. The target is what these codes give (1.87 V ends at 1.875 V). On the way there the
// add-on moves one table entry per write, interleaved with the VID steps so that the rail
// never rises above the higher of where it started and where it ends; see plan_vcore_move.
bool vcore_switches_regulator_off(const Board& board, double v) {
    return v >= board.vcore_min - 0.05 && v <= kVidTopVolts && voltage_to_vid(v) == kVidCodeMax;
}

int set_vcore(Board& board, double v, bool allow_regulator_off) {
    if (v < board.vcore_min - 0.05 || v > board.vcore_max)
        return ERR_INVALID_VCORE;
    if (vcore_switches_regulator_off(board, v) && !allow_regulator_off) {
        debug_print("VELMORA: set_vcore(): VID code 11111 switches the regulator off, not set\n");
        return ERR_INVALID_VCORE;
    }
    VidChip& chip = board.chip;
    if (!chip_readable(chip))
        return ERR_SMB_WRITE;

    const VoltageTable& add = board.vcore_add;
    const VcoreTarget target = vcore_target(add, v);
    if (target.add_code == TABLE_NO_CODE) {
        debug_print("VELMORA: set_vcore(): Doesn't have a vcoreadd value for %f\n", target.g);
        return ERR_INVALID_VCORE;
    }
    // What the VID code cannot express is refused before anything is written, add-on bits
    // included: five bits reach down to 1.075 V only.
    if (!target.valid())
        return ERR_INVALID_VCORE;
    const bool raised = target.raised;
    const double g = target.g;
    const int code = target.code;
    const uint8_t add_code = target.add_code;

    VcoreMove move;
    move.start_code = vid_chip_current_code(chip);
    move.vid_byte = mirrored(chip, VID_CHIP_ATXP1_REG_VID);
    move.add_byte = mirrored(chip, add.reg);
    move.target_code = code;
    move.target_add = add_code;
    // Compared in whole millivolts: in floating point a change of exactly four codes (0.1 V)
    // came out a hair above or below 0.1 depending on the codes and on the FPU (x87 or SSE).
    const int diff_mv = std::abs(vid_to_millivolts(code) - vid_to_millivolts(move.start_code));
    move.code_by_code =
        diff_mv + static_cast<int>(std::lround(g * 1000.0)) > kMaxVcoreStepMillivolts;

    const uint8_t add_value = merged(chip, add, add_code);
    const std::vector<VcoreWrite> writes = plan_vcore_move(add, move);
    bool vdiff_logged = false;
    auto log_vdiff = [&] {
        if (raised && !vdiff_logged)
            debug_print("VELMORA: set_vcore(): >1.85 -> vdiff %f -> %x\n", g, add_value);
        vdiff_logged = true;
    };
    // The add-on needs no write: the line goes before the VID changes.
    if (std::none_of(writes.begin(), writes.end(),
                     [](const VcoreWrite& w) { return w.target == VcoreWrite::Target::AddOn; }))
        log_vdiff();
    bool vid_written = false;
    for (const VcoreWrite& w : writes) {
        uint8_t reg = add.reg;
        if (w.target == VcoreWrite::Target::AddOn) {
            if (w.add_on_done)
                log_vdiff();
        } else {
            reg = VID_CHIP_ATXP1_REG_VID;
            if (!vid_written)
                current_clock().sleep_ms(kVcoreAddOnPauseMs);
            vid_written = true;
        }
        if (const int result = vid_chip_write_register(chip, reg, w.value); result != ERR_NONE)
            return result;
        if (w.settle_ms)
            current_clock().sleep_ms(w.settle_ms);
    }
    return ERR_NONE;
}

int set_vdimm(Board& board, double v) {
    return set_table_voltage(board, board.vdimm, v, ERR_INVALID_VDIMM,
                             "VELMORA: set_vdimm(): writing %x\n");
}

int set_vdd(Board& board, double v) {
    return set_table_voltage(board, board.vdd, v, ERR_INVALID_VDD,
                             "VELMORA: set_vdd(): writing %x\n");
}

int set_vagp(Board& board, double v) {
    return set_table_voltage(board, board.vagp, v, ERR_INVALID_VAGP,
                             "VELMORA: set_vagp(): writing %x\n");
}
