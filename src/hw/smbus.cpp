// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/smbus.h"

#include "diag/debuglog.h"
#include "hw/port_io.h"
#include "platform/clock.h"

namespace {

struct SmbusState {
    bool blocked = false;
};
SmbusState state;

// Beyond the two hosts the base would point at other devices' ports.
bool host_usable(uint8_t bus) {
    if (state.blocked)
        return false;
    if (bus < SMBUS_HOST_COUNT)
        return true;
    debug_print("I2C-WIN: No SMBus host %d\n", bus);
    return false;
}

// One transaction is one whole operation: from the first register written through the 50 ms
// wait to the status and, for a read, the data, nothing else touches the ports (the wait is
// slept, never handed to other work). The host is neither cleared nor polled: it gets a fixed
// 50 ms to finish. The transaction
// succeeded only when the host says it is done and its outcome code is 0; a done bit with a
// code (no acknowledge, collision) is a failure, and the data register then holds a stale byte.
bool run_transaction(uint16_t base, uint8_t protocol) {
    port_out8(protocol, base + SMBUS_REG_PROTOCOL);
    current_clock().bus_wait_ms(SMBUS_TRANSACTION_MS);
    return smbus_status_ok(port_in8(base + SMBUS_REG_STATUS));
}

void address_slave(uint16_t base, uint8_t address, uint8_t command) {
    port_out8(command, base + SMBUS_REG_COMMAND);
    port_out8(static_cast<uint8_t>((address & 0x7F) << 1), base + SMBUS_REG_ADDRESS);
}

}  // namespace

bool smbus_read_byte_checked(uint8_t bus, uint8_t address, uint8_t command, uint8_t& value) {
    if (!host_usable(bus))
        return false;
    const uint16_t base = smbus_base(bus);
    address_slave(base, address, command);
    const bool ok = run_transaction(base, SMBUS_PROTOCOL_READ_BYTE_DATA);
    if (ok)
        value = port_in8(base + SMBUS_REG_DATA);
    current_clock().operation_done();
    return ok;
}

uint8_t smbus_read_byte(uint8_t bus, uint8_t address, uint8_t command) {
    uint8_t value = 0;
    return smbus_read_byte_checked(bus, address, command, value) ? value : 0;
}

uint8_t smbus_write_byte(uint8_t bus, uint8_t address, uint8_t command, uint8_t value) {
    if (!host_usable(bus))
        return 1;
    const uint16_t base = smbus_base(bus);
    address_slave(base, address, command);
    port_out8(value, base + SMBUS_REG_DATA);
    const bool ok = run_transaction(base, SMBUS_PROTOCOL_WRITE_BYTE_DATA);
    current_clock().operation_done();
    return ok ? 0 : 1;
}

void smbus_block_access(bool blocked) {
    state.blocked = blocked;
}

bool smbus_access_blocked() {
    return state.blocked;
}
