// SPDX-License-Identifier: GPL-2.0-or-later
// What the benchmarks run in: a clock that never waits (only the CPU time of our code counts)
// and prompts that answer No at once.
#pragma once

#include <string>

#include "app/prompts.h"
#include "platform/clock.h"

class NullClock : public Clock {
  public:
    void sleep_ms(uint32_t ms) override { now += ms; }
    uint32_t now_ms() override { return now; }
    uint32_t now = 0;
};

class QuietPrompts : public Prompts {
  public:
    void show_message(const std::string&) override {}
    bool ask_yes_no(const std::string&, const std::string&) override { return false; }
};
