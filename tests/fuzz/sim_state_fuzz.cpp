// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target for the simulated board's state file: any bytes must load without a crash,
// leave every value in range, and save again to a file that loads without a problem.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/sim_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SimMachine machine(*sim_profile(kDefaultSimProfile));
    SimLoadReport report;
    machine.load_state_text(std::string(reinterpret_cast<const char*>(data), size), report);
    const std::string saved = machine.state_text();
    SimLoadReport again;
    machine.load_state_text(saved, again);
    if (!again.problems.empty() || machine.state_text() != saved) {
        std::fprintf(stderr, "state did not survive a save and load: %s\n",
                     again.problems.empty() ? "text differs" : again.problems.front().c_str());
        std::abort();
    }
    return 0;
}
