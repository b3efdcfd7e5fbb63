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
inline constexpr uint8_t SMBUS_STATUS_DONE = 0x80;
inline constexpr uint32_t SMBUS_TRANSACTION_MS = 50;
inline constexpr uint8_t SMBUS_HOST_COUNT = 2;

constexpr uint16_t smbus_base(uint8_t bus) {
    return static_cast<uint16_t>(SMBUS_BASE0 + bus * SMBUS_HOST_STRIDE);
}

// The register's byte when the transaction completed, 0 otherwise (so 0 may also mean no
// answer). Only buses 0 and 1 exist; any other gives 0 without touching a port.
uint8_t smbus_read_byte(uint8_t bus, uint8_t address, uint8_t command);

// 0 when the transaction completed, 1 otherwise (also for a bus other than 0 and 1).
uint8_t smbus_write_byte(uint8_t bus, uint8_t address, uint8_t command, uint8_t value);
