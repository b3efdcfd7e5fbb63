// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/tracing_kernel_backend.h"

namespace {

// "0x0010fb2f" for the bytes of a 4-byte access, little-endian as the kernel hands them over;
// a result that is no count names its error.
std::string bytes_text(const void* buffer, long count) {
    if (count < 0)
        return "error " + kernel_error_text(static_cast<int>(count));
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    std::string text = "0x";
    char digits[3];
    for (long i = count; i > 0; --i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i - 1]);
        text += digits;
    }
    return count == 0 ? "nothing" : text;
}

std::string hex(unsigned value) {
    char text[12];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

}  // namespace

void TracingKernelBackend::trace(const std::string& line) {
    if (!file_)
        return;
    std::fputs((line + "\n").c_str(), file_);
    std::fflush(file_);
}

std::string TracingKernelBackend::name_of(int fd) const {
    auto it = paths_.find(fd);
    return it == paths_.end() ? "fd " + std::to_string(fd) : it->second;
}

int TracingKernelBackend::open(const std::string& path, bool for_writing) {
    const int fd = inner_.open(path, for_writing);
    if (fd >= 0)
        paths_[fd] = path;
    // Small files read whole (names, links' tables) are not device operations: only nodes and
    // the configuration and attribute files that reach a chip are traced.
    trace("open " + path + (for_writing ? " rw" : " ro") + " = " +
          (fd >= 0 ? std::to_string(fd) : "error " + kernel_error_text(fd)));
    return fd;
}

void TracingKernelBackend::close(int fd) {
    paths_.erase(fd);
    slaves_.erase(fd);
    inner_.close(fd);
}

long TracingKernelBackend::pread(int fd, void* buffer, size_t size, uint32_t offset) {
    const long got = inner_.pread(fd, buffer, size, offset);
    trace("pread " + name_of(fd) + " " + hex(offset) + " " + std::to_string(size) + " = " +
          bytes_text(buffer, got));
    return got;
}

long TracingKernelBackend::pwrite(int fd, const void* buffer, size_t size, uint32_t offset) {
    trace("pwrite " + name_of(fd) + " " + hex(offset) + " " + std::to_string(size) + " = " +
          bytes_text(buffer, static_cast<long>(size)));
    const long put = inner_.pwrite(fd, buffer, size, offset);
    if (put != static_cast<long>(size))
        trace("pwrite " + name_of(fd) + " " + hex(offset) + " moved " + std::to_string(put));
    return put;
}

int TracingKernelBackend::i2c_set_slave(int fd, uint8_t address) {
    const int result = inner_.i2c_set_slave(fd, address);
    if (result == 0)
        slaves_[fd] = address;
    else
        trace("i2c " + name_of(fd) + " " + hex(address) + " slave: error " +
              kernel_error_text(result));
    return result;
}

int TracingKernelBackend::i2c_byte_data(int fd, bool read, uint8_t command, uint8_t& value) {
    const std::string who = "i2c " + name_of(fd) + " " + hex(slaves_.count(fd) ? slaves_[fd] : 0);
    if (!read)
        trace(who + " write " + hex(command) + " = " + hex(value));
    const int result = inner_.i2c_byte_data(fd, read, command, value);
    if (read)
        trace(who + " read " + hex(command) + " = " +
              (result == 0 ? hex(value) : "error " + kernel_error_text(result)));
    else if (result != 0)
        trace(who + " write " + hex(command) + ": error " + kernel_error_text(result));
    return result;
}
