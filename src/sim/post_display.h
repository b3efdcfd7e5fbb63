// The two-digit POST-code display that many boards carry on I/O port 0x80: it latches the last
// byte written to the port. velmora puts a temperature on it while it runs and FF at the end.
#pragma once

#include <cstdint>

#include "sim/sim_device.h"

inline constexpr uint16_t kPostDisplayPort = 0x80;

class PostDisplay : public SimIoDevice {
  public:
    PostDisplay();

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
    // Not part of the saved state: the real display has no such counter.
    uint32_t write_count() const { return writes_; }

  private:
    uint8_t latch_;
    uint32_t writes_;
};
