// SPDX-License-Identifier: GPL-2.0-or-later
// --read: the board read once and printed, with nothing written to it or to any file.
#include <cstdio>

#include "app/long_options.h"
#include "app/read_out.h"
#include "app/session.h"
#include "board/chipset.h"
#include "board/fsb.h"
#include "board/rail_view.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "platform/platform.h"
#include "sensors/sensor.h"
#include "sensors/sensor_display.h"

void Session::ReadOut(bool with_board) {
    BoardReadOut r;
    r.simulated = notes_.simulated_board;
    if (with_board) {
        r.board_number = board_number;
        r.board_name = board.name;
        r.fsb = values_read.fsb;
        r.multiplier = cpu_multiplier;
        // A rail is read only through the VID chip, and only where the board has a table.
        const bool chip = board.chip.address != 0;
        const VoltageTable* tables[4] = {nullptr, &board.vdimm, &board.vagp, &board.vdd};
        const double read[4] = {values_read.vcore, values_read.vdimm, values_read.vagp,
                                values_read.vdd};
        // As the bars show them: the DFI boards' AGP add-on as the rail it gives.
        for (int i = 0; i < 4; ++i)
            if (chip && (!tables[i] || table_min(*tables[i]) != 0.0))
                r.volts[i] =
                    tables[i] ? shown_volts(rail_view(*tables[i], i == 2), read[i]) : read[i];
        r.timings[0] = values_read.tras;
        r.timings[1] = values_read.trcd;
        r.timings[2] = values_read.trp;
        // The sensors as one tick reads them, without writing their controls back.
        sensor_count = sensors_detect(&sensor_table());
        if (sensor_count != 0)
            sensors_read_all(&sensor_table());
        // In the main tab's order; an item without a reading shows "NA", as its field does.
        const SensorFields fields = sensor_fields(sensor_table(), sensor_map);
        for (int i = 0; i < 10; ++i)
            r.sensors[i] = fields.text[i].empty() ? "NA" : fields.text[i];
    } else {
        // Without a board the chipset still tells its clock and timings; no voltage and no
        // sensor map can be known.
        ChipsetSettings found{};
        read_chipset_settings(&found);
        r.fsb = get_fsb();
        r.multiplier = fid_to_multiplier(found.fid);
        r.timings[0] = found.tras;
        r.timings[1] = found.trcd;
        r.timings[2] = found.trp;
    }
    debug_print("VELMORA: Board read for --read, nothing written\n");
    const std::string out = has_flag(args_, "--json") ? read_out_json(r) : read_out_text(r);
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    current_platform().exit_process(0);
}
