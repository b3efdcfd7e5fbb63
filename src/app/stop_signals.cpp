// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/stop_signals.h"

#include <csignal>

#include "hw/stop_request.h"

namespace {
extern "C" void on_stop_signal(int sig) {
    request_stop(sig);
}
}  // namespace

void install_stop_signals() {
    std::signal(SIGTERM, on_stop_signal);
    std::signal(SIGINT, on_stop_signal);
#ifdef SIGHUP
    std::signal(SIGHUP, on_stop_signal);
#endif
}
