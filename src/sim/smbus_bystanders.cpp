// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/smbus_bystanders.h"

#include <cstdio>
#include <cstring>

namespace {

// Bytes 0-45 of a 512 MB PC3200 module: two ranks of 256 MB built from 32M x 8 chips, CAS
// latencies 2, 2.5 and 3, 5 ns cycle at CL 3, tRP/tRCD 15 ns, tRAS 40 ns, SSTL 2.5 V.
constexpr uint8_t kSpdTiming[] = {
    0x80, 0x08, SPD_MEMORY_TYPE_DDR,  // 128 bytes used of 256, DDR SDRAM
    0x0D, 0x0A, 0x02,
    0x40, 0x00,  // 13 row, 10 column bits, 2 ranks, 64 bits wide
    0x04, 0x50, 0x70,
    0x00, 0x82,  // SSTL 2.5 V, tCK 5.0 ns, tAC 0.7 ns, no ECC, 7.8 us
    0x08, 0x00, 0x01,
    0x0E, 0x04,  // x8 chips, bursts 2/4/8, 4 banks
    0x1C, 0x01, 0x02,
    0x20, 0xC1,  // CL 2/2.5/3, CS 0, WE 1, differential clock
    0x60, 0x70, 0x75,
    0x70,  // tCK 6.0 ns at CL 2.5, 7.5 ns at CL 2
    0x3C, 0x28, 0x3C,
    0x28, 0x40,  // tRP 15, tRRD 10, tRCD 15, tRAS 40 ns, 256 MB a rank
    0x60, 0x60, 0x40,
    0x40,  // address/command and data setup and hold
    0x00, 0x00, 0x00,
    0x00, 0x00,  // reserved
    0x37, 0x46, 0x28,
    0x28, 0x50,  // tRC 55, tRFC 70 ns, tCK max 10 ns, tDQSQ, tQHS
};
constexpr int kSpdChecksum = 63;
constexpr int kSpdPartNumber = 73;
constexpr char kPartNumber[] = "SIM-PC3200-512    ";  // 18 characters, blank-padded

// Output enables (all on), the strapped frequency selection, spread spectrum off, and the
// vendor/revision byte in register 7.
constexpr uint8_t kClockGenRegs[CLOCKGEN_REG_COUNT] = {0x21, 0xFF, 0xFF, 0x3F,
                                                       0x00, 0x0F, 0x00, 0x11};

}  // namespace

SpdEeprom::SpdEeprom(SimWorld& world, uint8_t address)
    : SmbusBystander(world, "SPD EEPROM", address) {
    std::memset(image_, 0xFF, sizeof image_);
    std::memset(image_ + sizeof kSpdTiming, 0x00, kSpdChecksum - sizeof kSpdTiming);
    std::memcpy(image_, kSpdTiming, sizeof kSpdTiming);
    unsigned sum = 0;
    for (int i = 0; i < kSpdChecksum; ++i)
        sum += image_[i];
    image_[kSpdChecksum] = static_cast<uint8_t>(sum);
    std::memcpy(image_ + kSpdPartNumber, kPartNumber, sizeof kPartNumber - 1);
}

void SmbusBystander::write_byte(uint8_t command, uint8_t) {
    char text[80];
    std::snprintf(text, sizeof text, "write to %s 0x%02x register 0x%02x", what_, address_,
                  command);
    world_.record_fault(text);
}

uint8_t ClockGenerator::read_byte(uint8_t command) {
    return command < CLOCKGEN_REG_COUNT ? kClockGenRegs[command] : 0xFF;
}
