// SPDX-License-Identifier: GPL-2.0-or-later
// The two SMBus host controllers of the nForce2 south bridge: read-byte-data and
// write-byte-data transactions with a fixed wait instead of polling.
#pragma once

#include <cstdint>

// Host registers, as offsets from the host's base.
inline constexpr uint16_t SMBUS_BASE0 = 0x5000;
inline constexpr uint16_t SMBUS_HOST_STRIDE = 0x100;
inline constexpr uint8_t SMBUS_REG_PROTOCOL = 0;  // writing the protocol starts a transaction
inline constexpr uint8_t SMBUS_REG_STATUS = 1;
inline constexpr uint8_t SMBUS_REG_ADDRESS = 2;  // 7-bit address shifted left by one
inline constexpr uint8_t SMBUS_REG_COMMAND = 3;
inline constexpr uint8_t SMBUS_REG_DATA = 4;
inline constexpr uint8_t SMBUS_PROTOCOL_WRITE_BYTE_DATA = 0x06;
inline constexpr uint8_t SMBUS_PROTOCOL_READ_BYTE_DATA = 0x07;
// Status: bit 7 says the host finished, bits 4-0 hold its outcome code (0: the slave took
// part; 0x10: nobody acknowledged the address; others: collisions, time-outs).
inline constexpr uint8_t SMBUS_STATUS_DONE = 0x80;
inline constexpr uint8_t SMBUS_STATUS_CODE = 0x1F;
inline constexpr uint32_t SMBUS_TRANSACTION_MS = 50;
inline constexpr uint8_t SMBUS_HOST_COUNT = 2;

constexpr uint16_t smbus_base(uint8_t bus) {
    return static_cast<uint16_t>(SMBUS_BASE0 + bus * SMBUS_HOST_STRIDE);
}

// Whether a status byte tells of a transaction the slave completed.
constexpr bool smbus_status_ok(uint8_t status) {
    return (status & SMBUS_STATUS_DONE) != 0 && (status & SMBUS_STATUS_CODE) == 0;
}

// True with the register's byte in `value` when the transaction completed; false (value
// untouched) when it failed, so a failed read is never taken for a register holding 0.
bool smbus_read_byte_checked(uint8_t bus, uint8_t address, uint8_t command, uint8_t& value);

// The register's byte when the transaction completed, 0 otherwise (so 0 may also mean no
// answer). Only buses 0 and 1 exist; any other gives 0 without touching a port.
uint8_t smbus_read_byte(uint8_t bus, uint8_t address, uint8_t command);

// 0 when the transaction completed, 1 otherwise (also for a bus other than 0 and 1).
uint8_t smbus_write_byte(uint8_t bus, uint8_t address, uint8_t command, uint8_t value);

// Where a host's transactions go. Through its ports at `base` (at start the chipset's
// registers 0x50/0x54 give it; 0x5000 and 0x5100 until then), or, where the kernel's adapter
// driver owns the host, through an i2c-dev descriptor of the kernel seam (-1: back to the
// ports). The kernel runs each transfer whole and waits for it itself; its errno is a failed
// transaction.
void smbus_set_host_base(uint8_t bus, uint16_t base);
uint16_t smbus_host_base(uint8_t bus);
void smbus_use_i2c_dev(uint8_t bus, int fd);
int smbus_i2c_dev(uint8_t bus);  // -1 when the host is reached through its ports
// Both hosts back at their power-on bases, through their ports, not blocked.
void smbus_reset_state();

// While blocked, every transaction fails at once without touching a port: the start-up
// blocks the hosts when it cannot be sure that the ports are the chipset's SMBus hosts, or
// that no other driver uses them.
void smbus_block_access(bool blocked);
bool smbus_access_blocked();
