// SPDX-License-Identifier: GPL-2.0-or-later
// Passes every port access on to another backend and appends it to a trace file, one line
// each ("out8 0x5103 = 0x00"), flushed at once so that a board that hangs leaves a complete
// trace for the bug report.
#pragma once

#include <cstdio>
#include <string>

#include "hw/port_access.h"
#include "hw/port_io.h"

class TracingPortBackend : public PortBackend {
  public:
    // Takes a descriptor open for appending (see open_for_append) and closes it at the end.
    TracingPortBackend(PortBackend& inner, int trace_fd);
    ~TracingPortBackend() override;
    TracingPortBackend(const TracingPortBackend&) = delete;
    TracingPortBackend& operator=(const TracingPortBackend&) = delete;

    uint8_t in8(uint16_t port) override;
    uint16_t in16(uint16_t port) override;
    uint32_t in32(uint16_t port) override;
    void out8(uint16_t port, uint8_t value) override;
    void out16(uint16_t port, uint16_t value) override;
    void out32(uint16_t port, uint32_t value) override;
    bool needs_port_grant() const override { return inner_.needs_port_grant(); }
    void set_port_access(bool granted) override { inner_.set_port_access(granted); }

    bool is_open() const { return file_ != nullptr; }
    // The trace file, for the kernel operations' lines; owned by this backend.
    std::FILE* stream() const { return file_; }

  private:
    void trace(const PortAccess& access);

    PortBackend& inner_;
    std::FILE* file_;
};
