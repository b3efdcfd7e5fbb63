// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/kernel_io.h"

#include <cerrno>
#include <cstring>

namespace {
KernelBackend* installed = nullptr;
}

int NoKernel::open(const std::string&, bool) {
    return -ENOENT;
}

long NoKernel::pread(int, void*, size_t, uint32_t) {
    return -EBADF;
}

long NoKernel::pwrite(int, const void*, size_t, uint32_t) {
    return -EBADF;
}

int NoKernel::i2c_set_slave(int, uint8_t) {
    return -EBADF;
}

int NoKernel::i2c_byte_data(int, bool, uint8_t, uint8_t&) {
    return -EBADF;
}

KernelBackend& kernel() {
    if (installed)
        return *installed;
    static NoKernel none;
    return none;
}

void install_kernel(KernelBackend* backend) {
    installed = backend;
}

bool kernel_installed() {
    return installed != nullptr;
}

bool kernel_read_text(const std::string& path, std::string& text) {
    KernelBackend& k = kernel();
    const int fd = k.open(path, false);
    if (fd < 0)
        return false;
    text.clear();
    char buffer[512];
    bool ok = true;
    // Procfs tables are read as one stream; 64 KB is more than any of them holds here.
    for (uint32_t offset = 0; offset < 65536;) {
        const long got = k.pread(fd, buffer, sizeof buffer, offset);
        if (got < 0)
            ok = false;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
        offset += static_cast<uint32_t>(got);
    }
    k.close(fd);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return ok;
}

std::string kernel_link_name(const std::string& path) {
    const std::string target = kernel().readlink(path);
    const size_t slash = target.find_last_of('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

std::string kernel_error_text(int error) {
    return std::strerror(error < 0 ? -error : error);
}
