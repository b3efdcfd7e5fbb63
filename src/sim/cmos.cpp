// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/cmos.h"

#include <cstring>

Cmos::Cmos(const SimProfile& profile) : fid_code_(profile.fid_code) {
    reset();
}

void Cmos::reset() {
    // The contents a board keeps on its battery after the BIOS set-up was saved once.
    std::memset(ram_, 0, sizeof ram_);

    // The clock stands still at a fixed moment, Tuesday 2004-06-15 12:00:00, in BCD and 24-hour
    // mode: nothing in velmora reads the time, and a moving clock would make the state file
    // differ on every save. A program that writes the time gets its own value back.
    ram_[kRtcSeconds] = 0x00;
    ram_[kRtcMinutes] = 0x00;
    ram_[kRtcHours] = 0x12;
    ram_[kRtcDayOfWeek] = 0x03;  // 1 = Sunday
    ram_[kRtcDayOfMonth] = 0x15;
    ram_[kRtcMonth] = 0x06;
    ram_[kRtcYear] = 0x04;
    ram_[kRtcStatusA] = 0x26;  // 32.768 kHz time base, 1024 Hz periodic rate, no update running
    ram_[kRtcStatusB] = 0x02;  // 24-hour mode, BCD, no interrupts enabled
    ram_[kRtcStatusC] = 0x00;  // no interrupt flags
    ram_[kRtcStatusD] = kRtcStatusDValidRam;

    ram_[kCmosFloppyTypes] = 0x40;    // drive A: 1.44 MB, no drive B
    ram_[kCmosEquipment] = 0x03;      // one floppy drive, maths coprocessor, VGA
    ram_[kCmosBaseMemoryLow] = 0x80;  // 640 KB base memory
    ram_[kCmosBaseMemoryHigh] = 0x02;
    // Extended memory in KB saturates at 0xFFFF on any board with more than 64 MB.
    ram_[kCmosExtMemoryLow] = 0xFF;
    ram_[kCmosExtMemoryHigh] = 0xFF;
    ram_[kCmosPostExtMemoryLow] = 0xFF;
    ram_[kCmosPostExtMemoryHigh] = 0xFF;
    ram_[kCmosCentury] = 0x20;

    ram_[kCmosMultiplierIndex] = fid_code_ & kCmosMultiplierMask;

    unsigned sum = 0;
    for (uint8_t i = kCmosFloppyTypes; i < kCmosChecksumHigh; ++i)
        sum += ram_[i];
    ram_[kCmosChecksumHigh] = static_cast<uint8_t>(sum >> 8);
    ram_[kCmosChecksumLow] = static_cast<uint8_t>(sum);

    // The BIOS leaves the NMI enabled and the index on status register D.
    index_ = kRtcStatusD;
}

void Cmos::save(StateSection& out) const {
    out.set_u8("index", index_);
    out.set_bytes("ram", ram_, kCmosSize);
}

void Cmos::load(const StateSection& in, SimLoadReport& report) {
    reset();
    if (!in.get_u8("index", index_))
        report.problem("CMOS: index missing or invalid, power-on value used");
    if (!in.get_bytes("ram", ram_, kCmosSize))
        report.problem("CMOS: ram missing or invalid, power-on value used");
}

uint8_t Cmos::read_port(uint16_t port) const {
    // The index register is write-only on this southbridge: reading it floats.
    if (port != kCmosDataPort)
        return 0xFF;
    return ram_[index_ & kCmosIndexMask];
}

void Cmos::write_port(uint16_t port, uint8_t value) {
    if (port == kCmosIndexPort) {
        index_ = value;
        return;
    }
    if (port != kCmosDataPort)
        return;
    uint8_t index = index_ & kCmosIndexMask;
    switch (index) {
        case kRtcStatusC:
        case kRtcStatusD:
            return;  // read-only flags
        case kRtcStatusA:
            // The update-in-progress flag belongs to the clock, not to the writer.
            ram_[index] = static_cast<uint8_t>((value & ~kRtcStatusAUpdateInProgress) |
                                               (ram_[index] & kRtcStatusAUpdateInProgress));
            return;
        default:
            ram_[index] = value;
    }
}

uint32_t Cmos::in(uint16_t port, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value |= uint32_t{read_port(static_cast<uint16_t>(port + i))} << (8 * i);
    return value;
}

void Cmos::out(uint16_t port, int width, uint32_t value) {
    for (int i = 0; i < width; ++i)
        write_port(static_cast<uint16_t>(port + i), static_cast<uint8_t>(value >> (8 * i)));
}
