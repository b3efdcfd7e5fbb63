// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensors/fan_failsafe.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>

#include "hw/kernel_io.h"
#include "hw/port_io.h"

namespace {

// Two buffers: the GUI thread fills the one not in use, then switches `active` to it.
struct WriteList {
    PortWrite writes[kFailsafeMaxWrites];
    int count = 0;
};
WriteList lists[2];
std::atomic<int> active{0};
std::atomic<bool> fired{false};
void (*after_fire)() = nullptr;

// The value's digits into the file, with nothing a signal handler may not do.
void write_decimal(int fd, uint8_t value) {
    char text[3];
    size_t n = 0;
    if (value >= 100)
        text[n++] = static_cast<char>('0' + value / 100);
    if (value >= 10)
        text[n++] = static_cast<char>('0' + value / 10 % 10);
    text[n++] = static_cast<char>('0' + value % 10);
    kernel().pwrite(fd, text, n, 0);
}

void on_fatal_signal(int sig) {
    fan_failsafe_fire();
    if (after_fire)
        after_fire();
    // SA_RESETHAND put the default action back; it ends the process once this returns.
    std::raise(sig);
}

void on_terminate() {
    fan_failsafe_fire();
    if (after_fire)
        after_fire();
    std::abort();
}

}  // namespace

void fan_failsafe_set(const PortWrite* writes, int count) {
    const int next = 1 - active.load();
    WriteList& list = lists[next];
    list.count = 0;
    for (int i = 0; i < count && i < kFailsafeMaxWrites; ++i)
        list.writes[list.count++] = writes[i];
    active.store(next);
}

void fan_failsafe_fire() noexcept {
    if (fired.exchange(true))
        return;
    const WriteList& list = lists[active.load()];
    for (int i = 0; i < list.count; ++i) {
        const PortWrite& w = list.writes[i];
        try {
            if (w.fd >= 0)
                write_decimal(w.fd, w.value);
            else
                port_out8(w.value, w.port);
        } catch (...) {
            return;  // the ports are gone: nothing more can be done
        }
    }
}

void fan_failsafe_install(void (*after)()) {
    after_fire = after;
#ifdef _WIN32
    std::signal(SIGABRT, on_fatal_signal);  // reset to the default before the handler runs
#else
    struct sigaction action {};
    action.sa_handler = on_fatal_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGQUIT, &action, nullptr);
    sigaction(SIGABRT, &action, nullptr);
#endif
    std::set_terminate(on_terminate);
}

int fan_failsafe_count() {
    return lists[active.load()].count;
}

PortWrite fan_failsafe_write(int index) {
    return lists[active.load()].writes[index];
}
