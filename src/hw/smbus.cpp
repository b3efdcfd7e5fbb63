// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/smbus.h"

#include "diag/debuglog.h"
#include "hw/kernel_io.h"
#include "hw/port_io.h"
#include "platform/clock.h"

namespace {

struct SmbusState {
    bool blocked = false;
    uint16_t base[SMBUS_HOST_COUNT] = {smbus_base(0), smbus_base(1)};
    int i2c_fd[SMBUS_HOST_COUNT] = {-1, -1};
    int i2c_slave[SMBUS_HOST_COUNT] = {-1, -1};  // the address last set on the descriptor
};
SmbusState state;

// Beyond the two hosts the base would point at other devices' ports.
bool host_usable(uint8_t bus) {
    if (state.blocked)
        return false;
    // A host the kernel owns without i2c-dev, or without a base, is not there for velmora.
    if (bus < SMBUS_HOST_COUNT)
        return state.i2c_fd[bus] >= 0 || state.base[bus] != 0;
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

// One transfer through i2c-dev: the slave address set when it changed (I2C_SLAVE; busy when a
// kernel driver has bound the address), then the byte-data transfer.
bool kernel_transfer(uint8_t bus, uint8_t address, bool read, uint8_t command, uint8_t& value) {
    KernelBackend& k = kernel();
    const int fd = state.i2c_fd[bus];
    const uint8_t slave = address & 0x7F;
    if (state.i2c_slave[bus] != slave) {
        if (k.i2c_set_slave(fd, slave) != 0)
            return false;
        state.i2c_slave[bus] = slave;
    }
    const bool ok = k.i2c_byte_data(fd, read, command, value) == 0;
    current_clock().operation_done();
    return ok;
}

}  // namespace

void smbus_set_host_base(uint8_t bus, uint16_t base) {
    if (bus < SMBUS_HOST_COUNT)
        state.base[bus] = base;
}

uint16_t smbus_host_base(uint8_t bus) {
    return bus < SMBUS_HOST_COUNT ? state.base[bus] : 0;
}

void smbus_use_i2c_dev(uint8_t bus, int fd) {
    if (bus >= SMBUS_HOST_COUNT)
        return;
    state.i2c_fd[bus] = fd;
    state.i2c_slave[bus] = -1;
}

int smbus_i2c_dev(uint8_t bus) {
    return bus < SMBUS_HOST_COUNT ? state.i2c_fd[bus] : -1;
}

bool smbus_read_byte_checked(uint8_t bus, uint8_t address, uint8_t command, uint8_t& value) {
    if (!host_usable(bus))
        return false;
    if (state.i2c_fd[bus] >= 0) {
        uint8_t byte = 0;
        if (!kernel_transfer(bus, address, true, command, byte))
            return false;
        value = byte;
        return true;
    }
    const uint16_t base = state.base[bus];
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
    if (state.i2c_fd[bus] >= 0)
        return kernel_transfer(bus, address, false, command, value) ? 0 : 1;
    const uint16_t base = state.base[bus];
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

void smbus_reset_state() {
    state = SmbusState{};
}
