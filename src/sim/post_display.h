// SPDX-License-Identifier: GPL-2.0-or-later
// The two-digit POST-code display that many boards carry on I/O port 0x80: it latches the last
// byte written to the port. velmora puts a temperature on it while it runs and FF at the end.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"
#include "sim/sim_world.h"

inline constexpr uint16_t kPostDisplayPort = 0x80;

class PostDisplay : public SimIoDevice {
  public:
    // With a world, each write counts as a change of what the state file keeps.
    explicit PostDisplay(SimWorld* world = nullptr);

    const char* name() const override { return "PORT80"; }
    void reset() override;
    void save(StateSection& out) const override;
    void load(const StateSection& in, SimLoadReport& report) override;

    bool decodes(uint16_t port) const override { return port == kPostDisplayPort; }
    uint32_t in(uint16_t port, int width) override;
    void out(uint16_t port, int width, uint32_t value) override;

    // The two digits the display shows now.
    uint8_t last() const { return latch_; }
    // Writes since power-on, so that a test can tell "wrote the same byte" from "wrote nothing".
    // The real display has no such counter; the state file keeps it ("writes") so that a test
    // of a whole run can count the writes of the run. A file without it starts at 0.
    uint32_t write_count() const { return writes_; }

  private:
    SimWorld* world_;
    uint8_t latch_;
    uint32_t writes_;
};
