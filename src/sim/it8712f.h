// SPDX-License-Identifier: GPL-2.0-or-later
// The environment controller (hardware monitor) of the ITE IT8712F super-I/O chip. The BIOS
// puts it at I/O base 0x290; software reaches its registers through the address port at
// base + 5 and the data port at base + 6. There are no banks: the address is a full byte.
//
// The readings are converted live from the board's physical state; everything else is a
// stored byte. Registers the chip does not have read 0xFF, and a write to one is recorded as
// a fault, except 0x4E, where the Winbond detection selects its bank on every board.
//
// How the board wires the inputs:
//   0x20 VIN0 Vcore       16 mV per count
//   0x21 VIN1 Vdimm       16 mV
//   0x22 VIN2 3.3 V       16 mV
//   0x23 VIN3 5 V         26.88 mV (divider 1.68)
//   0x24 VIN4 12 V        60.8 mV (divider 3.8)
//   0x25 VIN5 Vdd         16 mV (the board watches no negative rail)
//   0x26 VIN6 Vagp        16 mV
//   0x27 VIN7 5 V standby 26.88 mV
//   0x28 VBAT battery     16 mV
//   0x29 TEMP1 the CPU's thermal diode, 0x2A TEMP2 the system thermistor, 0x2B TEMP3 a
//        thermistor at the board's edge (ambient); whole degrees, two's complement
//   fan tachometers 1-3 and PWM outputs 1-3: world fans 0-2
//
// Fan counts: in 8-bit mode the count of a fan divided by its divisor, 255 when the fan stops
// or is too slow; with the fan's bit of 0x0C set, a 16-bit count with a fixed divisor of 2, low
// byte in 0x0D-0x0F and high byte in 0x18-0x1A, 0xFFFF when stopped. The 16-bit counter runs in
// either mode, so 0x18-0x1A always show its high byte. Divisors (0x0B): fans 1 and 2 take 2^n
// from bits 2-0 and 5-3; fan 3 has only bit 6, divisor 2 when clear and 8 when set (bit 7 is
// reserved). Bits 6-4 of 0x13 enable the tachometers of fans 1-3: a disabled tachometer's
// counter stands still and reads as a stopped fan, 0xFF in 8-bit mode and 0xFFFF in 16-bit mode.
//
// Fan outputs: a fan whose bit of 0x13 is clear is in on/off mode (0x14's bit of the fan:
// full speed or stopped). Otherwise bit 7 of its PWM register selects automatic control, in
// which the fan follows the temperature its bits 1-0 name along the zone of 0x60 + 8 x fan
// (off, start and full-speed temperature, start duty: 40 to 70 degrees from half duty at power
// on), and with bit 7 clear bits 6-0 are the duty in 128 steps. Bit 7 of 0x14 is the outputs'
// polarity: set (active high, as the BIOS leaves it) the fans' drivers see that duty; clear (active
// low) they see its inverse, 255 - duty, so a full software duty stops the fan and automatic
// control keeps it stopped. The PWM base clock of 0x14 (bits 6-4) is kept but changes nothing.
//
// The vendor id register 0x58 answers 0x90 unless the state file's "chip_id" key names another
// byte, as another chip of the family would answer. A power cycle keeps it.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_world.h"

inline constexpr uint16_t IT87_ADDRESS_PORT = 0x295;
inline constexpr uint16_t IT87_DATA_PORT = 0x296;

// Register numbers, as in the datasheet.
inline constexpr uint8_t IT87_REG_CONFIG = 0x00;
inline constexpr uint8_t IT87_REG_FAN_DIV = 0x0B;
inline constexpr uint8_t IT87_REG_FAN_16BIT = 0x0C;
inline constexpr uint8_t IT87_REG_FAN = 0x0D;  // 0x0D-0x0F: fan counts 1-3 (low byte)
inline constexpr uint8_t IT87_REG_FAN_MAIN_CTRL = 0x13;
inline constexpr uint8_t IT87_REG_FAN_CTL = 0x14;
inline constexpr uint8_t IT87_REG_PWM = 0x15;   // 0x15-0x17: PWM outputs 1-3
inline constexpr uint8_t IT87_REG_FANX = 0x18;  // 0x18-0x1A: fan counts 1-3, high byte
inline constexpr uint8_t IT87_REG_VIN = 0x20;   // 0x20-0x28: VIN0-VIN7, VBAT
inline constexpr uint8_t IT87_REG_TEMP = 0x29;  // 0x29-0x2B: temperatures 1-3
inline constexpr uint8_t IT87_REG_CHIPID = 0x58;

inline constexpr uint8_t IT87_VENDOR_ID = 0x90;  // what register 0x58 reads on this chip
inline constexpr uint8_t IT87_PWM_AUTOMATIC = 0x80;
inline constexpr uint8_t IT87_TACH_ENABLE_SHIFT = 4;   // 0x13 bits 6-4: tachometers 1-3 on
inline constexpr uint8_t IT87_PWM_ACTIVE_HIGH = 0x80;  // 0x14 bit 7: PWM polarity
inline constexpr uint8_t IT87_FAN3_DIV8 = 0x40;        // 0x0B bit 6: fan 3 divisor 8, else 2

class It8712f : public SimIoDevice {
  public:
    explicit It8712f(SimWorld& world);

    const char* name() const override { return "IT8712F"; }
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    bool decodes(uint16_t port) const override {
        return port == IT87_ADDRESS_PORT || port == IT87_DATA_PORT;
    }
    // Accesses wider than a byte are split into byte cycles, as the LPC bus does.
    uint32_t in(uint16_t port, int width) override;
    void out(uint16_t port, int width, uint32_t value) override;

    // What register 0x58 answers.
    uint8_t chip_id() const { return chip_id_; }
    void set_chip_id(uint8_t id) { chip_id_ = id; }

  private:
    static constexpr int kRegisters = 0x80;  // nothing above 0x7F on this chip

    // The register state: the address port and the register file, whose places of readings
    // and of the vendor id are unused (they answer from the world and the chip's identity).
    struct Registers {
        uint8_t address;
        uint8_t reg[kRegisters];
    };

    enum class Kind { Absent, Stored, Live };
    static Kind kind(uint8_t reg);

    uint8_t read_port(uint16_t port) const;
    void write_port(uint16_t port, uint8_t value);
    uint8_t read_register(uint8_t reg) const;
    void write_register(uint8_t reg, uint8_t value);
    uint8_t live_register(uint8_t reg) const;

    void power_on_registers();
    bool tachometer_on(int fan) const;
    uint16_t fan_count16(int fan) const;
    uint8_t fan_duty(int fan) const;  // the duty the outputs put on fan n, 0..255
    void drive_fans();
    int automatic_duty(int fan, int input) const;

    SimWorld& world_;
    uint8_t chip_id_ = IT87_VENDOR_ID;
    Registers regs_;
};
