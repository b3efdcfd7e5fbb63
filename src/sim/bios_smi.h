// SPDX-License-Identifier: GPL-2.0-or-later
// The board BIOS's request interface through the System Management Interrupt. A program asks
// for the interface's function code at port 0x449F, writes a function number to the data port,
// raises the SMI by writing the function code to the command port, and then finds the status
// in the data port and the answers in a mailbox of eight 32-bit registers. The BIOS reports
// the board's identity, where it keeps the CPU multiplier and, on BIOSes with hardware
// monitoring, temperatures, voltages, fan speeds and the two fan PWM outputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_device.h"
#include "sim/sim_profile.h"

struct SimWorld;

inline constexpr uint16_t kSmiQueryPort = 0x449F;    // write 0x88, read the function code
inline constexpr uint16_t kSmiCommandPort = 0x442E;  // the function code written raises the SMI
inline constexpr uint16_t kSmiDataPort = 0x442F;     // function number in, status out
inline constexpr uint16_t kSmiMailboxPort = 0x4480;  // register n at 0x4480 + 4n
inline constexpr int kSmiMailboxRegisters = 8;

inline constexpr uint8_t kSmiQueryMagic = 0x88;
// The value the BIOS's SMI handler traps on the command port. Every BIOS picks its own; the
// caller learns it from the query port.
inline constexpr uint8_t kSmiFunctionCode = 0xE1;

// Status bytes left in the data port.
inline constexpr uint8_t kSmiStatusOk = 0x00;
inline constexpr uint8_t kSmiStatusFailed = 0xFE;   // known function, could not be done
inline constexpr uint8_t kSmiStatusInvalid = 0xFF;  // this BIOS has no such function

// Function numbers.
inline constexpr uint8_t kSmiFnVersion = 0x01;
inline constexpr uint8_t kSmiFnFan1Speed = 0x02;
inline constexpr uint8_t kSmiFnPwm1 = 0x03;  // read, or write with the duty in register 1
inline constexpr uint8_t kSmiFnFan2Speed = 0x06;
inline constexpr uint8_t kSmiFnPwm2Read = 0x07;
inline constexpr uint8_t kSmiFnPwm2Write = 0x08;
inline constexpr uint8_t kSmiFnCpuTemp = 0x12;
inline constexpr uint8_t kSmiFnSecondTemp = 0x13;
inline constexpr uint8_t kSmiFnVoltages = 0x24;
inline constexpr uint8_t kSmiFnBoardInfo = 0x25;
inline constexpr uint8_t kSmiFnMultiplierLocation = 0x27;

// Interface versions: the BIOS revisions with hardware monitoring speak a newer interface.
inline constexpr uint16_t kSmiVersionBasic = 0x0100;
inline constexpr uint16_t kSmiVersionSensors = 0x0200;

// Register 1 at rest: the BIOS fills the mailbox with all ones at POST, which no 16-bit
// argument can be. The PWM 1 function takes a register 1 with its upper half clear as a duty
// to set and anything else as a plain read.
inline constexpr uint32_t kSmiMailboxIdle = 0xFFFFFFFFu;

// Function 0x12, register 1 bit 16: the CPU temperature comes from a thermistor in the socket
// (the BIOSes modelled here all read it that way), not from the CPU's own diode.
inline constexpr uint32_t kSmiCpuTempSocket = 1u << 16;

// Besides the registers, the state file holds what this BIOS revision offers, so that a test
// can stand in for other BIOSes by editing the file: "invalid_functions" and
// "failed_functions" (function numbers as blank-separated two-digit hex, answered with 0xFF
// and 0xFE), "vendor" (the vendor index reported by function 0x25) and "board" (the board
// name, at most 24 characters). A file without these keys gets the profile's BIOS.
class BiosSmi : public SimIoDevice {
  public:
    BiosSmi(SimWorld& world, const SimProfile& profile);

    const char* name() const override { return "BIOS_SMI"; }
    // The registers at power-on; what the BIOS offers stays as loaded.
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    // A board without this BIOS decodes none of the ports: they float.
    bool decodes(uint16_t port) const override;
    uint32_t in(uint16_t port, int width) override;
    void out(uint16_t port, int width, uint32_t value) override;

  private:
    // The registers the chipset gives the BIOS for the interface.
    struct SmiRegs {
        uint8_t query;  // last byte written to 0x449F
        uint8_t data;   // 0x442F: function number, replaced by the status of the SMI
        uint32_t mailbox[kSmiMailboxRegisters];
    };

    uint8_t read_byte(uint16_t port) const;
    void write_byte(uint16_t port, uint8_t value);
    // The SMI handler: runs the function in the data port and leaves the status there.
    void raise_smi();
    uint8_t run(uint8_t function);
    uint8_t board_info();
    uint8_t multiplier_location();
    uint8_t voltages();
    uint8_t set_pwm(int fan, uint32_t argument);
    void use_profile_offer();
    void load_offer(const StateSection& in, SimLoadReport& report);

    SimWorld& world_;
    bool has_smi_;
    bool sensors_;
    bool cpu_on_die_;  // the CPU temperature comes from the die, not the socket
    uint16_t vendor_;
    uint16_t version_;
    uint16_t profile_vendor_;                 // what the profile's BIOS reports
    std::string profile_board_;               // at most 24 characters
    std::string board_;                       // at most 24 characters
    std::vector<uint8_t> invalid_functions_;  // answered with kSmiStatusInvalid
    std::vector<uint8_t> failed_functions_;   // answered with kSmiStatusFailed
    SmiRegs regs_;
    // The status of the last request is still in the data port, unread; and its function.
    bool answer_unread_ = false;
    uint8_t last_function_ = 0;
};
