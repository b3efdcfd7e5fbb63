// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/tracing_port_backend.h"

namespace {
std::FILE* stream_of(int fd) {
    if (fd < 0)
        return nullptr;
#ifdef _WIN32
    return _fdopen(fd, "a");
#else
    return fdopen(fd, "a");
#endif
}
}  // namespace

TracingPortBackend::TracingPortBackend(PortBackend& inner, int trace_fd)
    : inner_(inner), file_(stream_of(trace_fd)) {}

TracingPortBackend::~TracingPortBackend() {
    if (file_)
        std::fclose(file_);
}

void TracingPortBackend::trace(const PortAccess& access) {
    if (!file_)
        return;
    std::fputs((describe(access) + "\n").c_str(), file_);
    std::fflush(file_);
}

// An output is traced before it is made, an input after it answered.
uint8_t TracingPortBackend::in8(uint16_t port) {
    uint8_t v = inner_.in8(port);
    trace(in(1, port, v));
    return v;
}

uint16_t TracingPortBackend::in16(uint16_t port) {
    uint16_t v = inner_.in16(port);
    trace(in(2, port, v));
    return v;
}

uint32_t TracingPortBackend::in32(uint16_t port) {
    uint32_t v = inner_.in32(port);
    trace(in(4, port, v));
    return v;
}

void TracingPortBackend::out8(uint16_t port, uint8_t value) {
    trace(out(1, port, value));
    inner_.out8(port, value);
}

void TracingPortBackend::out16(uint16_t port, uint16_t value) {
    trace(out(2, port, value));
    inner_.out16(port, value);
}

void TracingPortBackend::out32(uint16_t port, uint32_t value) {
    trace(out(4, port, value));
    inner_.out32(port, value);
}
