// SPDX-License-Identifier: GPL-2.0-or-later
// Another board picked by hand (the Settings tab's list): which picks are taken, and what the
// change leaves behind before the new board is read.
#include "app/session.h"
#include "diag/debuglog.h"

bool Session::BoardPickable(int32_t picked) const {
    // Only a board of the list: an index past it would read past the board table.
    if (picked < 0) {
        debug_print("VELMORA: No board selected, nothing changed\n");
        return false;
    }
    if (picked >= board_count || picked >= static_cast<int32_t>(board_list.size())) {
        debug_print("VELMORA: Board nr. %d not in the board list, nothing changed\n", picked);
        return false;
    }
    return true;
}

void Session::ChangeBoard(int32_t picked) {
    debug_print("VELMORA: Re-setting board\n");
    // The map of the board left behind would otherwise stay for a board that has none of its
    // own, and be saved under the new board's number.
    if (picked != board_number)
        sensor_map = SensorMap{};
    board_number = picked;
}
