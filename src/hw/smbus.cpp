#include "hw/smbus.h"

#include "app/debuglog.h"
#include "hw/port_io.h"
#include "platform/clock.h"

namespace {

// Beyond the two hosts the base would point at other devices' ports.
bool host_exists(uint8_t bus) {
    if (bus < SMBUS_HOST_COUNT)
        return true;
    debug_print("I2C-WIN: No SMBus host %d\n", bus);
    return false;
}

// The host neither clears its status nor is polled: it gets a fixed 50 ms to finish, and only
// the done bit is looked at afterwards.
bool run_transaction(uint16_t base, uint8_t protocol) {
    port_out8(protocol, base + SMBUS_REG_PROTOCOL);
    current_clock().sleep_ms(SMBUS_TRANSACTION_MS);
    return (port_in8(base + SMBUS_REG_STATUS) & SMBUS_STATUS_DONE) != 0;
}

void address_slave(uint16_t base, uint8_t address, uint8_t command) {
    port_out8(command, base + SMBUS_REG_COMMAND);
    port_out8(static_cast<uint8_t>((address & 0x7F) << 1), base + SMBUS_REG_ADDRESS);
}

}  // namespace

uint8_t smbus_read_byte(uint8_t bus, uint8_t address, uint8_t command) {
    if (!host_exists(bus))
        return 0;
    const uint16_t base = smbus_base(bus);
    address_slave(base, address, command);
    if (!run_transaction(base, SMBUS_PROTOCOL_READ_BYTE_DATA))
        return 0;
    return port_in8(base + SMBUS_REG_DATA);
}

uint8_t smbus_write_byte(uint8_t bus, uint8_t address, uint8_t command, uint8_t value) {
    if (!host_exists(bus))
        return 1;
    const uint16_t base = smbus_base(bus);
    address_slave(base, address, command);
    port_out8(value, base + SMBUS_REG_DATA);
    return run_transaction(base, SMBUS_PROTOCOL_WRITE_BYTE_DATA) ? 0 : 1;
}
