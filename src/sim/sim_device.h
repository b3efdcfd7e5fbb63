// SPDX-License-Identifier: GPL-2.0-or-later
// The device models of the simulated board. Each is a state struct named after its datasheet
// with documented power-on values, a read and a write that switch on the register, and a way
// to save and load its state.
#pragma once

#include <cstdint>

#include "sim/state_section.h"

class SimDevice {
  public:
    virtual ~SimDevice() = default;
    // The section of the state file that holds this device ("ATXP1", "W83627HF", ...).
    virtual const char* name() const = 0;
    // Back to the power-on values.
    virtual void reset() = 0;
    virtual void save(StateSection& out) const = 0;
    // Takes every valid value of the section; anything missing or invalid keeps its power-on
    // value and is reported.
    virtual void load(const StateSection& in, SimLoadReport& report) = 0;
};

// A device on the I/O bus: answers the ports it decodes. Widths are 1, 2 or 4 bytes.
class SimIoDevice : public SimDevice {
  public:
    virtual bool decodes(uint16_t port) const = 0;
    virtual uint32_t in(uint16_t port, int width) = 0;
    virtual void out(uint16_t port, int width, uint32_t value) = 0;
};

// A slave on an SMBus: the host runs read-byte-data and write-byte-data transactions on it.
// A device answers its address unless it was told to stop acknowledging: then every
// transaction addressed to it ends like one to an empty address, so that velmora's failure
// paths can be tried. Whether it acknowledges is kept in its state-file section as
// "acknowledge=0/1"; a section without the key (older files) means it acknowledges.
class SimSmbusDevice : public SimDevice {
  public:
    // Called by the host only after the device acknowledged.
    virtual uint8_t read_byte(uint8_t command) = 0;
    virtual void write_byte(uint8_t command, uint8_t value) = 0;

    bool acknowledges() const { return acknowledges_; }
    void set_acknowledges(bool on);
    // Acknowledges `transactions` more transactions addressed to it, then stops for good. Kept
    // in the state file as "acknowledges_left", so a run of the program can meet it.
    void fail_after(int transactions);
    // The host's question at the start of each transaction addressed to the device.
    bool acknowledge() {
        if (acks_left_ < 0 || !acknowledges_)
            return acknowledges_;
        if (acks_left_ == 0)
            acknowledges_ = false;
        else
            --acks_left_;
        return acknowledges_;
    }

    // A power cycle makes the device acknowledge again.
    void reset() final;
    void save(StateSection& out) const final;
    void load(const StateSection& in, SimLoadReport& report) final;

  protected:
    // The device's own registers: back to power-on, saved, and loaded after a reset.
    virtual void reset_registers() = 0;
    virtual void save_registers(StateSection& out) const = 0;
    virtual void load_registers(const StateSection& in, SimLoadReport& report) = 0;

  private:
    bool acknowledges_ = true;
    int acks_left_ = -1;  // transactions still acknowledged before it stops; -1: no limit
};
