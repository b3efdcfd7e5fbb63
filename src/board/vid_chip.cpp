// SPDX-License-Identifier: GPL-2.0-or-later
#include "board/vid_chip.h"

#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "hw/smbus.h"

namespace {

struct Candidate {
    uint8_t address;
    uint8_t probe_register;
    const char* name;
};

constexpr Candidate kCandidates[] = {
    {VID_CHIP_MS3_ADDRESS, VID_CHIP_MS3_REG_ID, "MS-3"},
    {VID_CHIP_ATXP1_ADDRESS_A, VID_CHIP_ATXP1_REG_VID, "ATXP1"},
    {VID_CHIP_ATXP1_ADDRESS_B, VID_CHIP_ATXP1_REG_VID, "ATXP1"},
};

// The ATXP1 registers velmora mirrors, each into the mirror entry of its own number.
constexpr uint8_t kAtxp1Mirrored[] = {
    0x00, 0x01, 0x02, 0x03, 0x04, VID_CHIP_ATXP1_REG_GPIO1, VID_CHIP_ATXP1_REG_GPIO2};

// An empty address reads 0 (no acknowledge, so the read fails) and a floating bus 0xFF: only
// another byte shows that a chip is there.
bool answers(uint8_t bus, const Candidate& c) {
    const uint8_t byte = smbus_read_byte(bus, c.address, c.probe_register);
    return byte != 0x00 && byte != 0xFF;
}

// The registers the ATXP1 does not have and that read 0 on it, in the order they are asked.
constexpr uint8_t kAtxp1IdRegisters[] = {0x3E, 0x3F, 0xFE, 0xFF};
// Registers past its register file that read back register 0.
constexpr uint8_t kAtxp1MirrorRegisters[] = {0x10, 0x11};

bool reads(const VidChip& chip, uint8_t reg, uint8_t& value) {
    return smbus_read_byte_checked(chip.bus, chip.address, reg, value);
}

bool looks_like_atxp1(const VidChip& chip) {
    uint8_t value = 0;
    for (uint8_t reg : kAtxp1IdRegisters)
        if (!reads(chip, reg, value) || value != 0)
            return false;
    uint8_t vid = 0;
    if (!reads(chip, VID_CHIP_ATXP1_REG_VID, vid))
        return false;
    for (uint8_t reg : kAtxp1MirrorRegisters)
        if (!reads(chip, reg, value) || value != vid)
            return false;
    return true;
}

}  // namespace

bool vid_chip_identify(VidChip& chip) {
    if (chip.address == VID_CHIP_MS3_ADDRESS || looks_like_atxp1(chip)) {
        chip.identified = true;
        return true;
    }
    debug_print("ATXP1: The device on bus %d, addr. %d is no ATXP1, nothing is written to it\n",
                chip.bus, chip.address);
    return false;
}

int vid_chip_search(VidChip& chip) {
    debug_print("ATXP1: Searching...\n");
    for (const Candidate& c : kCandidates) {
        for (uint8_t bus = 0; bus < 2; ++bus) {
            if (!answers(bus, c))
                continue;
            VidChip found;
            found.bus = bus;
            found.address = c.address;
            if (!vid_chip_identify(found))
                continue;
            chip.bus = bus;
            chip.address = c.address;
            chip.identified = true;
            debug_print("ATXP1: Found %s on bus %d, addr. %d\n", c.name, bus, c.address);
            return 1;
        }
    }
    debug_print("ATXP1: Not found\n");
    return 0;
}

void vid_chip_read_registers(VidChip& chip) {
    vid_chip_read_registers_checked(chip);
}

VidChipRead vid_chip_read_registers_checked(VidChip& chip) {
    VidChipRead result;
    auto read_into = [&](uint8_t reg, uint8_t& entry) {
        ++result.asked;
        entry = 0;
        if (smbus_read_byte_checked(chip.bus, chip.address, reg, entry))
            ++result.answered;
    };
    if (chip.address == VID_CHIP_MS3_ADDRESS) {
        read_into(VID_CHIP_MS3_REG_STATUS, chip.registers[0]);
        read_into(VID_CHIP_MS3_REG_ID, chip.registers[1]);
        return result;
    }
    for (uint8_t reg : kAtxp1Mirrored)
        read_into(reg, chip.registers[reg]);
    return result;
}

int vid_chip_current_code(const VidChip& chip) {
    const uint8_t vid = chip.registers[VID_CHIP_ATXP1_REG_VID];
    if (chip.address == VID_CHIP_MS3_ADDRESS || (vid & VID_CHIP_ATXP1_VID_ENABLE))
        return vid & VID_CHIP_VID_CODE_MASK;
    return chip.registers[VID_CHIP_ATXP1_REG_CPU_VID] & VID_CHIP_VID_CODE_MASK;
}

int vid_chip_write_register(const VidChip& chip, uint8_t reg, uint8_t value) {
    return smbus_write_byte(chip.bus, chip.address, reg, value) == 0 ? ERR_NONE : ERR_SMB_WRITE;
}
