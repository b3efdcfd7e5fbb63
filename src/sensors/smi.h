// SPDX-License-Identifier: GPL-2.0-or-later
// The BIOS's SMI interface and the sensor built on it. A request writes a function number to
// the data port 0x442F and raises the SMI by writing the interface's function code to the
// command port 0x442E; the BIOS leaves a status byte in the data port and its answers in a
// mailbox of eight 32-bit registers at 0x4480-0x449C. Every request saves the mailbox before
// and restores it after, so whatever it held survives.
//
// The start-up learns the board's vendor, version and name this way; on boards whose BIOS
// does the hardware monitoring, the SMI BIOS sensor (SENSOR_SMI) reports up to two
// temperatures, five voltages (raw 16-bit BIOS values) and two fans, and sets two fan PWM
// outputs.
#pragma once

#include <cstdint>

#include "sensors/sensor.h"

struct SmiInterface {
    uint8_t function_code = 0;
    uint16_t version = 0;
    uint32_t board_info = 0;  // vendor index in bits 0-7, board version in bits 16-31
    const char* vendor_name = nullptr;
    char board_name[25] = {};
    uint32_t results[8] = {};
};

// Status bytes the BIOS leaves in the data port.
inline constexpr uint8_t SMI_STATUS_OK = 0x00;
inline constexpr uint8_t SMI_STATUS_FAILED = 0xFE;   // known function, could not be done
inline constexpr uint8_t SMI_STATUS_INVALID = 0xFF;  // the BIOS has no such function

// The vendor names by the low byte of the board info. An index past the table is reported as
// "Unknown".
inline constexpr int kSmiVendorCount = 24;
extern const char* const smi_vendor_names[kSmiVendorCount];
const char* smi_vendor_name(uint32_t board_info);

// Asks the BIOS for the function code, the interface version (function 0x01) and the board
// information (function 0x25), logging each. 1 when both answered and the record is filled;
// 0 otherwise, and the record then names no board (board info 0, empty name, vendor "Not
// Supported"). The board name is the 24 characters of registers 2-7, cut at the first two
// adjacent blanks.
int smi_init(SmiInterface* smi);

// One request: 1 with the mailbox's eight registers in `results`, 0 when the BIOS refused it
// (logged by smi_check_status), `results` then untouched.
int smi_call(SmiInterface* smi, uint8_t function);

// One request with an argument in register 1; 1 done, 0 refused. The mailbox, register 1
// included, is restored afterwards.
int smi_call_with_arg(SmiInterface* smi, uint8_t function, uint16_t argument);

// Reads the status byte of the last request: 1 for success; otherwise logs what the BIOS
// answered and returns 0.
int smi_check_status(uint8_t function);

// The mailbox into the module's one save area, and back.
void smi_mailbox_save();
void smi_mailbox_restore();

// A byte of the CMOS RAM (index 0-0x7F); 0 for an index above 0x7F, without a port access.
uint8_t cmos_read(uint8_t index);

// The CPU multiplier code from the CMOS place the BIOS names through function 0x27, or 0xFF
// when the BIOS does not name one or the request fails.
uint8_t smi_get_multi(SmiInterface* smi);

// The SMI BIOS sensor. Detection opens the sensor's own interface and counts the functions
// that answer: temperatures 0x12 and 0x13, voltages 0x24 (all five or none), fans 0x02 and
// 0x06. Channel 0 of a pair is always read with the pair's first function. When PWM 1 (0x03)
// or PWM 2 (0x07) answers, the sensor has three controls: the two PWM duties and, at index 2,
// the software-fan-control switch, off after each detection. 1 when the interface answers,
// even with no sensor function; 0 otherwise.
int smi_sensor_detect(Sensor* slot);

// Refreshes every counted channel and the duty of each PWM that answered at detection. A
// channel whose request fails keeps its previous value.
void smi_sensor_read();

// With the switch on, writes PWM 1 through function 0x03 and PWM 2 through 0x08, each only
// when its read function answered at detection. With the switch off nothing is sent. Each of
// "switch off" and "PWM not offered" is logged once, until the switch changes again.
void smi_sensor_write();

// Back to the state of a fresh process (counts, readings, controls and mailbox save area 0),
// for tests.
void smi_reset_state();
