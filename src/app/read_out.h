// SPDX-License-Identifier: GPL-2.0-or-later
// What --read prints: the board as velmora read it once, for a person (text) or a script
// (JSON, numbers as numbers with their units named).
#pragma once

#include <optional>
#include <string>

struct BoardReadOut {
    int board_number = -1;  // -1: no board known
    std::string board_name;
    std::string simulated;  // "Epox 8RDA+ Rev. 2.x (profile 7)"; empty on real ports
    int fsb = 0;            // MHz
    double multiplier = 0.0;
    // Vcore, Vdimm, Vagp, Vdd in volts; none where the board cannot read that rail.
    std::optional<double> volts[4];
    int timings[3] = {};  // Tras, Trcd, Trp in clock cycles
    // The ten sensor items as the main tab shows them ("45 °C", "1.648 V", "3000", "NA").
    std::string sensors[10];
};

// Lines of "name: value", aligned, with the units the window shows.
std::string read_out_text(const BoardReadOut& r);

// One JSON object, ending in a line end.
std::string read_out_json(const BoardReadOut& r);
