// SPDX-License-Identifier: GPL-2.0-or-later
// The chipset options of the "Chipset" tab away from the window: the [Chipset] section of
// config.ini that "Set on startup" applies, and the check of what the chipset took.
#pragma once

#include <cstdint>
#include <string>

#include "board/chipset.h"

// [Chipset] Load: not 0 when the stored options are to be set at every start; 0 when absent.
int32_t read_chipset_load();

// Puts each stored option that config.ini holds into its field of `record`, in the order
// AutoPrecharge, StpGnt, AGPSB, AGPAP, PCIBusLatency, AGPBusLatency, AGPCtrLatency; a field
// whose key is absent keeps the value read from the chipset. An aperture code outside 1..15 is
// not taken (logged): 0 would reach the register as a 512 MB aperture, which the chipset code
// refuses when asked for directly, and 16 and above cannot be set at all. A stored 16 that
// the chipset already holds (a run saved it from a chipset at 512 MB) is taken silently.
void read_stored_chipset_options(ChipsetSettings& record);

// The aperture codes a stored AGPAP may hold: sizes of 32 to 480 MB.
bool stored_aperture_valid(int32_t code);

// What of the tab's options the chipset did not take: `wanted` as the tab asked for them,
// `taken` as read back afterwards. One sentence per option, such as
// "AGP aperture size 512 MB not set."; empty when the chipset took everything.
std::string chipset_options_not_taken(const ChipsetSettings& wanted, const ChipsetSettings& taken);
