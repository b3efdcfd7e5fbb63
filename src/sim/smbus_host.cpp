// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/smbus_host.h"

#include <cstdio>
#include <string>

namespace {

constexpr uint16_t kFirstHostBase = 0x5000;

// State-file keys of the registers, in register order.
constexpr const char* kKeys[SMBHOST_REG_COUNT] = {"protocol", "status", "address", "command",
                                                  "data"};

}  // namespace

SmbusHost::SmbusHost(SimWorld& world, uint16_t base) : world_(world), base_(base) {
    std::snprintf(name_, sizeof name_, "SMBUS%d", ((base - kFirstHostBase) >> 8) & 0xF);
    reset();
}

void SmbusHost::attach(uint8_t address, SimSmbusDevice* device) {
    slaves_[address & 0x7F] = device;
}

void SmbusHost::reset() {
    // Every host register powers up as 0: no protocol, no status, nobody addressed.
    for (uint8_t& r : regs_)
        r = 0;
    unread_ = Unread::Nothing;
    overlap_recorded_ = false;
}

bool SmbusHost::decodes(uint16_t port) const {
    return port >= base_ && port < base_ + SMBHOST_REG_COUNT;
}

// A wider access covers consecutive registers, lowest port in the lowest byte; bytes past the
// host's last register float.
uint32_t SmbusHost::in(uint16_t port, int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const uint16_t p = static_cast<uint16_t>(port + i);
        const uint8_t byte = decodes(p) ? regs_[p - base_] : 0xFF;
        if (decodes(p))
            read_register(static_cast<uint8_t>(p - base_));
        value |= static_cast<uint32_t>(byte) << (8 * i);
    }
    return value;
}

void SmbusHost::out(uint16_t port, int width, uint32_t value) {
    for (int i = 0; i < width; ++i) {
        const uint16_t p = static_cast<uint16_t>(port + i);
        if (decodes(p))
            write_register(static_cast<uint8_t>(p - base_), static_cast<uint8_t>(value >> (8 * i)));
    }
}

// The host runs one transaction at a time, and its registers hold that transaction's outcome
// until the next one: software that sets up a new transaction before it read the status (and,
// after a successful read, the data) of the last one has let two users of the bus cut into each
// other, and one of them takes the other's byte. That is recorded.
void SmbusHost::read_register(uint8_t reg) {
    if (reg == SMBHOST_REG_STATUS && unread_ == Unread::Status) {
        const bool read_ok = regs_[SMBHOST_REG_PROTOCOL] == SMBHOST_PROTOCOL_READ_BYTE_DATA &&
                             regs_[SMBHOST_REG_STATUS] == SMBHOST_STATUS_DONE;
        unread_ = read_ok ? Unread::Data : Unread::Nothing;
    } else if (reg == SMBHOST_REG_DATA && unread_ == Unread::Data) {
        unread_ = Unread::Nothing;
    }
}

// The status register is plain storage: software may clear it, the host itself only overwrites
// it with the outcome of the next transaction.
void SmbusHost::write_register(uint8_t reg, uint8_t value) {
    if (reg != SMBHOST_REG_STATUS && unread_ != Unread::Nothing && !overlap_recorded_) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "%s: a new transaction was set up before the %s of the last one (device "
                      "0x%02x, register 0x%02x) was read",
                      name_, unread_ == Unread::Status ? "status" : "data",
                      regs_[SMBHOST_REG_ADDRESS] >> 1, regs_[SMBHOST_REG_COMMAND]);
        world_.record_fault(text);
        overlap_recorded_ = true;
    }
    regs_[reg] = value;
    if (reg == SMBHOST_REG_PROTOCOL)
        run_transaction();
}

// The transaction completes before the protocol write returns, so whoever waits afterwards
// finds it done. Like the real host, it always ends with the done bit, and the code in bits
// 4-0 tells the outcome: 0 for success, "no acknowledge" when no slave answered the address
// (the data register then keeps its old byte), "unsupported protocol" for anything but the
// two byte-data protocols, which touches no slave.
void SmbusHost::run_transaction() {
    unread_ = Unread::Status;
    overlap_recorded_ = false;
    const uint8_t protocol = regs_[SMBHOST_REG_PROTOCOL];
    uint8_t& status = regs_[SMBHOST_REG_STATUS];
    if (protocol != SMBHOST_PROTOCOL_READ_BYTE_DATA &&
        protocol != SMBHOST_PROTOCOL_WRITE_BYTE_DATA) {
        status = SMBHOST_STATUS_DONE | SMBHOST_STATUS_UNSUPPORTED;
        return;
    }
    // Bit 0 of the address register is the read/write bit of the wire; the protocol decides it.
    SimSmbusDevice* slave = slaves_[regs_[SMBHOST_REG_ADDRESS] >> 1];
    if (!slave || !slave->acknowledge()) {
        status = SMBHOST_STATUS_DONE | SMBHOST_STATUS_NO_ACK;
        return;
    }
    if (protocol == SMBHOST_PROTOCOL_READ_BYTE_DATA)
        regs_[SMBHOST_REG_DATA] = slave->read_byte(regs_[SMBHOST_REG_COMMAND]);
    else
        slave->write_byte(regs_[SMBHOST_REG_COMMAND], regs_[SMBHOST_REG_DATA]);
    status = SMBHOST_STATUS_DONE;
}

void SmbusHost::save(StateSection& out) const {
    for (uint8_t reg = 0; reg < SMBHOST_REG_COUNT; ++reg)
        out.set_u8(kKeys[reg], regs_[reg]);
}

// Loading restores the register file only; no transaction runs.
void SmbusHost::load(const StateSection& in, SimLoadReport& report) {
    reset();
    for (uint8_t reg = 0; reg < SMBHOST_REG_COUNT; ++reg) {
        if (!in.get_u8(kKeys[reg], regs_[reg]))
            report.problem(std::string(name_) + ": " + kKeys[reg] +
                           " missing or invalid, power-on value used");
    }
}
