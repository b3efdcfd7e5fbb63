// SPDX-License-Identifier: GPL-2.0-or-later
// The fans' last word: however the process dies (SIGQUIT, abort, an uncaught exception), the
// writes worked out for AutoFAN's fans reach the ports once before it ends.
#include "sensors/fan_failsafe.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "sensors/winbond.h"

namespace {

ScriptedPortBackend* recorded = nullptr;

// Runs in the dying child: what reached the ports goes to a file the test reads.
void write_what_reached_the_ports() {
    if (FILE* out = std::fopen("ports.txt", "w")) {
        for (const PortAccess& a : recorded->accesses)
            std::fprintf(out, "%x=%x\n", a.port, a.value);
        std::fclose(out);
    }
}

void die_after_arming(void (*die)()) {
    static ScriptedPortBackend ports;
    recorded = &ports;
    install_port_backend(&ports);
    PortWrite writes[4];
    fan_failsafe_set(writes, winbond_full_speed_writes(0, writes));
    fan_failsafe_install(write_what_reached_the_ports);
    die();
}

TEST(FanFailsafe, EveryWayOfDyingSetsTheFansToFullSpeedOnce) {
    const struct {
        const char* how;
        void (*die)();
        int signal;
    } ways[] = {
        {"SIGQUIT", [] { std::raise(SIGQUIT); }, SIGQUIT},
        {"abort", [] { std::abort(); }, SIGABRT},
        {"terminate", [] { std::terminate(); }, SIGABRT},
    };
    for (const auto& way : ways) {
        TempWorkDir dir;
        EXPECT_EXIT(die_after_arming(way.die), ::testing::KilledBySignal(way.signal), "")
            << way.how;
        EXPECT_EQ(read_file("ports.txt"), "295=4e\n296=0\n295=5a\n296=ff\n") << way.how;
    }
}

}  // namespace
