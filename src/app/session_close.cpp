// SPDX-License-Identifier: GPL-2.0-or-later
// The end of a session: the settings and the sensor map saved once, the fans and the port-80h
// display left safe, and the values found at the start written back when asked.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/session.h"
#include "diag/debuglog.h"
#include "platform/clock.h"
#include "sensors/sensor_map.h"

namespace {
constexpr uint32_t kResetPauseMs = 200;
}  // namespace

void Session::Close() {
    if (closing_)
        return;
    closing_ = true;
    // No tick may run inside the close's dialogs and undo the values it leaves.
    view_.stop_timers();
    SaveSettings();
    LeaveSensorsSafe();
    if (view_.reset_at_close()) {
        debug_print("VELMORA: CloseFunc(): reseting all values\n");
        current_clock().sleep_ms(kResetPauseMs);
        InitValues(false);
        view_.apply();
    }
}

void Session::SaveSettings() {
    SavedSettings saved;
    saved.board = board_number;
    saved.main = settings;
    view_.keep_choices(saved);
    saved.auto_precharge = chipset.auto_precharge;
    saved.stpgnt = chipset.stpgnt;
    saved.agp_sba = chipset.agp_sba;
    saved.agp_aperture = chipset.agp_aperture;
    saved.pci_bus_latency = chipset.pci_bus_latency;
    saved.agp_bus_latency = chipset.agp_bus_latency;
    saved.agp_ctr_latency = chipset.agp_ctr_latency;
    if (board_number == NO_BOARD)
        keep_stored_board_settings(saved);
    // A lost save is told where whoever closed the window looks, not only in the log: one
    // line per file that could not be written.
    std::vector<std::pair<const char*, std::string>> failed;
    std::string why;
    if (!save_main_settings(saved, &why))
        failed.emplace_back(kMainSettingsFile, why);
    if (!sensormap_save(kUserSensorMapFile, sensor_map, board_number))
        failed.emplace_back(kUserSensorMapFile, "the log velmora.deb says why");
    for (const auto& [file, reason] : failed)
        std::fprintf(stderr, "velmora: %s could not be saved: %s\n", file, reason.c_str());
}
