// SPDX-License-Identifier: GPL-2.0-or-later
// The chipset options in the session: the stored ones written at start when asked, and the
// ones the user sets, each said in the log.
#include "app/chipset_options.h"
#include "app/session.h"
#include "diag/debuglog.h"

namespace {
const char* enabled(uint8_t on) {
    return on ? "enabled" : "disabled";
}
}  // namespace

// Only what differs from the chipset's values is written.
bool Session::LoadStoredChipsetOptions() {
    if (read_chipset_load() == 0)
        return false;
    read_stored_chipset_options(chipset);
    write_chipset_settings(&chipset);
    return true;
}

std::string Session::SetChipsetOptions(const ChipsetSettings& chosen) {
    chipset.stpgnt = chosen.stpgnt;
    debug_print("VELMORA: STPGNT %s\n", enabled(chipset.stpgnt));
    chipset.agp_sba = chosen.agp_sba;
    debug_print("VELMORA: AGP-SBA %s\n", enabled(chipset.agp_sba));
    chipset.pci_bus_latency = chosen.pci_bus_latency;
    debug_print("VELMORA: PCI bridge latency %d\n", chipset.pci_bus_latency);
    chipset.agp_ctr_latency = chosen.agp_ctr_latency;
    debug_print("VELMORA: AGP controller latency %d\n", chipset.agp_ctr_latency);
    chipset.agp_bus_latency = chosen.agp_bus_latency;
    debug_print("VELMORA: AGP bus latency %d\n", chipset.agp_bus_latency);
    chipset.agp_aperture = chosen.agp_aperture;
    debug_print("VELMORA: AGP aperture size %d\n", chipset.agp_aperture);
    const ChipsetSettings wanted = chipset;
    write_chipset_settings(&chipset);
    // The record now holds what the chipset took: a value it refused (a 512 MB aperture
    // cannot be set) is no success.
    const std::string not_taken = chipset_options_not_taken(wanted, chipset);
    if (!not_taken.empty())
        debug_print("VELMORA: Chipset settings: %s\n", not_taken);
    return not_taken;
}
