// The table of supported mainboards.
#pragma once

#include <string>
#include <vector>

// A supported mainboard. The voltage tables and the VID chip join with board control.
struct Board {
    std::string name;
};

inline constexpr int NO_BOARD = 255;

// Fills the list with the supported boards and returns their number. The table is still
// empty, so no board can be chosen yet.
int boards_init(std::vector<Board>& list);
