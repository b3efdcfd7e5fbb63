// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/sim_world.h"

#include "diag/debuglog.h"

void SimWorld::record_fault(const std::string& text) {
    faults.push_back(text);
    ++state_changes;
    debug_print("SIM: %s\n", text);
}
