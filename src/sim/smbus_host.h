// SPDX-License-Identifier: GPL-2.0-or-later
// One SMBus host controller of the nForce2 south bridge, as the simulated board has two of
// them (0x5000 and 0x5100): five byte registers, and a transaction that runs the moment the
// protocol byte is written. Slaves are attached by their 7-bit address.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_world.h"

// Host registers, as offsets from the host's base.
inline constexpr uint8_t SMBHOST_REG_PROTOCOL = 0;
inline constexpr uint8_t SMBHOST_REG_STATUS = 1;
inline constexpr uint8_t SMBHOST_REG_ADDRESS = 2;  // 7-bit address in bits 7-1
inline constexpr uint8_t SMBHOST_REG_COMMAND = 3;
inline constexpr uint8_t SMBHOST_REG_DATA = 4;
inline constexpr uint8_t SMBHOST_REG_COUNT = 5;

inline constexpr uint8_t SMBHOST_PROTOCOL_WRITE_BYTE_DATA = 0x06;
inline constexpr uint8_t SMBHOST_PROTOCOL_READ_BYTE_DATA = 0x07;

// Status: bit 7 done, bits 4-0 the host controller's status code.
inline constexpr uint8_t SMBHOST_STATUS_DONE = 0x80;
inline constexpr uint8_t SMBHOST_STATUS_NO_ACK = 0x10;       // device address not acknowledged
inline constexpr uint8_t SMBHOST_STATUS_UNSUPPORTED = 0x19;  // protocol the host cannot run

class SmbusHost : public SimIoDevice {
  public:
    // base: 0x5000 for bus 0, 0x5100 for bus 1; the name follows ("SMBUS0", "SMBUS1").
    SmbusHost(SimWorld& world, uint16_t base);

    // Puts a slave on the bus at a 7-bit address (bit 7 is dropped); nullptr removes it.
    void attach(uint8_t address, SimSmbusDevice* device);

    const char* name() const override { return name_; }
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    bool decodes(uint16_t port) const override;
    uint32_t in(uint16_t port, int width) override;
    void out(uint16_t port, int width, uint32_t value) override;

  private:
    // What of the last transaction's outcome software has not read yet.
    enum class Unread : uint8_t { Nothing, Status, Data };

    void write_register(uint8_t reg, uint8_t value);
    void read_register(uint8_t reg);
    void run_transaction();

    SimWorld& world_;
    uint16_t base_;
    Unread unread_ = Unread::Nothing;
    bool overlap_recorded_ = false;  // once per transaction cut into
    char name_[8];
    uint8_t regs_[SMBHOST_REG_COUNT] = {};  // indexed by SMBHOST_REG_*
    SimSmbusDevice* slaves_[128] = {};
};
