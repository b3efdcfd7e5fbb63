// SPDX-License-Identifier: GPL-2.0-or-later
// The hardware monitor of the Winbond W83627HF super-I/O chip, and of its stand-alone sibling
// the W83782D, which has the same register file with two more PWM outputs. The BIOS puts the
// monitor's I/O base at 0x290; software reaches its registers through the address port at
// base + 5 and the data port at base + 6.
//
// Register file: CR20-CR4F answer in every bank, CR50-CR5F belong to the bank that CR4E selects
// (banks 0, 1, 2, 4 and 5 exist). The readings are converted live from the board's physical
// state; everything else is a stored byte. Registers the chip does not have read 0xFF, and a
// write to one is recorded as a fault.
//
// How the board wires the inputs (the same on every board that carries one of these chips):
//   CR20 VCOREA   Vcore            16 mV per count
//   CR21 VINR0    Vdimm            16 mV
//   CR22 +3.3VIN  3.3 V            16 mV
//   CR23 +5VIN    5 V              26.88 mV (divider 1.68)
//   CR24 +12VIN   12 V             60.8 mV (divider 3.8)
//   CR25 -12VIN   Vdd (chipset)    16 mV: the board does not watch the negative rails and
//   CR26 -5VIN    Vagp             16 mV  uses these inputs for two more positive ones
//   bank 5 CR50   5 V standby      26.88 mV
//   bank 5 CR51   battery          16 mV
//   CR27          temperature 1: the system thermistor, whole degrees
//   bank 1 CR50/51 temperature 2: the CPU's thermal diode, half degrees
//   bank 2 CR50/51 temperature 3: a thermistor at the board's edge (ambient), half degrees
//   CR28-CR2A     fans 1-3 (world fans 0-2)
// PWM outputs drive the fan headers of the same number: PWMOUT1 fan 1, PWMOUT2 fan 2 and, on
// the W83782D, PWMOUT3 fan 3; PWMOUT4 of the W83782D is not connected.
//
// The chip id (CR58 of bank 0) is the variant's own, 0x21 or 0x30, unless the state file's
// "chip_id" key names another: a later stepping or a sibling with the same register file, which
// lets velmora's handling of a chip it does not know be tried. A power cycle keeps it, as it
// keeps the chip on the board.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_world.h"

inline constexpr uint16_t W83627HF_ADDRESS_PORT = 0x295;
inline constexpr uint16_t W83627HF_DATA_PORT = 0x296;

// Register numbers, as in the datasheet.
inline constexpr uint8_t W83781D_REG_IN0 = 0x20;  // CR20-CR26: voltage inputs 0-6
inline constexpr uint8_t W83781D_REG_TEMP1 = 0x27;
inline constexpr uint8_t W83781D_REG_FAN1 = 0x28;  // CR28-CR2A: fan counts 1-3
inline constexpr uint8_t W83781D_REG_CONFIG = 0x40;
inline constexpr uint8_t W83781D_REG_ALARM1 = 0x41;
inline constexpr uint8_t W83781D_REG_ALARM2 = 0x42;
inline constexpr uint8_t W83781D_REG_VID_FANDIV = 0x47;
inline constexpr uint8_t W83781D_REG_PIN = 0x4B;
inline constexpr uint8_t W83781D_REG_BANK = 0x4E;
inline constexpr uint8_t W83781D_REG_WCHIPID = 0x4F;
inline constexpr uint8_t W83781D_REG_CHIPID = 0x58;      // bank 0
inline constexpr uint8_t W83627HF_REG_PWM1 = 0x5A;       // bank 0; PWMOUT2 on the W83782D
inline constexpr uint8_t W83627HF_REG_PWM2 = 0x5B;       // bank 0; PWMOUT1 on the W83782D
inline constexpr uint8_t W83781D_REG_PWMCLK = 0x5C;      // bank 0 PWM 1/2, bank 4 PWM 3/4
inline constexpr uint8_t W83781D_REG_VBAT = 0x5D;        // bank 0; fan divisor bit 2 at bits 5-7
inline constexpr uint8_t W83782D_REG_PWM3 = 0x5E;        // bank 0
inline constexpr uint8_t W83782D_REG_PWM4 = 0x5F;        // bank 0
inline constexpr uint8_t W83781D_REG_TEMP23 = 0x50;      // banks 1 and 2: bits 8-1
inline constexpr uint8_t W83781D_REG_TEMP23_LSB = 0x51;  // banks 1 and 2: bit 0 in bit 7
inline constexpr uint8_t W83781D_REG_IN7 = 0x50;         // bank 5: 5 V standby
inline constexpr uint8_t W83781D_REG_IN8 = 0x51;         // bank 5: battery

inline constexpr uint8_t W83781D_BANK_MASK = 0x07;
inline constexpr uint8_t W83781D_BANK_HBACS = 0x80;  // CR4F shows the vendor id's high byte
inline constexpr uint16_t WINBOND_VENDOR_ID = 0x5CA3;
inline constexpr uint8_t W83627HF_CHIP_ID = 0x21;
inline constexpr uint8_t W83782D_CHIP_ID = 0x30;

// The converters of a hardware monitor, shared with the other monitor chips of the board.
// An 8-bit ADC count of a voltage at the given volts per count, rounded and clipped.
uint8_t sim_monitor_adc_count(double volts, double volts_per_count);
// A temperature in whole degrees, two's complement, clipped to -128..127.
uint8_t sim_monitor_temp_byte(double celsius);
// A fan tachometer count: a 22.5 kHz clock counted over one revolution of a fan whose speed
// is first divided by `divisor`, so 1 350 000 / (rpm x divisor). A stopped fan, or one too
// slow for the counter, reads `overflow` (all ones); a count never reaches 0.
uint32_t sim_monitor_fan_count(double rpm, unsigned divisor, uint32_t overflow);

class W83627hf : public SimIoDevice {
  public:
    enum class Variant { W83627HF, W83782D };

    W83627hf(SimWorld& world, Variant variant);

    const char* name() const override;
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    bool decodes(uint16_t port) const override {
        return port == W83627HF_ADDRESS_PORT || port == W83627HF_DATA_PORT;
    }
    // Accesses wider than a byte are split into byte cycles, as the LPC bus does.
    uint32_t in(uint16_t port, int width) override;
    void out(uint16_t port, int width, uint32_t value) override;

    Variant variant() const { return variant_; }
    // What CR58 of bank 0 answers.
    uint8_t chip_id() const { return chip_id_; }
    void set_chip_id(uint8_t id) { chip_id_ = id; }

  private:
    static constexpr int kBanks = 8;

    // The register state. CR20-CR4F and the banked CR50-CR5F are held as the chip's register
    // file; the places of readings and identification registers are unused there, because
    // those registers answer from the world and the chip's identity.
    struct Registers {
        uint8_t address;           // address port: register pointer, 7 bits
        uint8_t cr[0x30];          // CR20-CR4F
        uint8_t bank[kBanks][16];  // CR50-CR5F of each bank
    };

    enum class Kind { Absent, Stored, Live };
    Kind kind(uint8_t bank, uint8_t reg) const;
    bool is_782d() const { return variant_ == Variant::W83782D; }
    uint8_t bank() const { return regs_.cr[W83781D_REG_BANK - 0x20] & W83781D_BANK_MASK; }

    uint8_t read_port(uint16_t port) const;
    void write_port(uint16_t port, uint8_t value);
    uint8_t read_register(uint8_t bank, uint8_t reg) const;
    void write_register(uint8_t bank, uint8_t reg, uint8_t value);
    uint8_t live_register(uint8_t bank, uint8_t reg) const;
    uint8_t& stored(uint8_t bank, uint8_t reg);
    uint8_t stored(uint8_t bank, uint8_t reg) const;

    void power_on_registers();
    unsigned fan_divisor(int fan) const;
    int pwm_fan(uint8_t reg) const;  // the fan a bank-0 PWM register drives, or -1
    void drive_fans();               // puts the PWM duties into the world
    void check_clock_selects(uint8_t bank, uint8_t value);

    SimWorld& world_;
    const Variant variant_;
    uint8_t chip_id_;
    Registers regs_;
};
