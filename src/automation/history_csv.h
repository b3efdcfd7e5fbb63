// SPDX-License-Identifier: GPL-2.0-or-later
// The readings as a CSV file for spreadsheets and plotting tools: one line per sensor tick,
// the local time in ISO 8601 and every history item in its unit (decimal point whatever the
// desktop's language, a missing value left empty), a header line when the file is new.
#pragma once

#include <ctime>
#include <string>

#include "automation/history.h"

// "time,cpu_c,sys_c,fan1_rpm,...,load_pct" and the line end.
std::string history_csv_header();

// "2026-12-08T12:30:05,45,31,3013,,..." and the line end, written into `line` (its storage
// reused); `when` in the machine's local time.
void history_csv_line(std::time_t when, const HistoryValues& values, std::string& line);

// The file the lines go to. It is opened as the debug log is (open_for_append: never through
// a link, never waiting on a FIFO, never another user's file), written with one write and
// closed again at every tick: one line a second or slower costs next to nothing that way, the
// file may be moved away or deleted at any time (the next tick starts a new one with its
// header), and a link put in its place later is refused like one there from the start.
class HistoryCsv {
  public:
    // Empty: no CSV log. A new path forgets that an earlier one was refused.
    void set_path(const std::string& path);
    const std::string& path() const { return path_; }

    // Appends the line of one tick. A file that may not be written to is said once in the log
    // ("HISTORY: <file> is <why>, readings not logged") and nothing more is tried until the
    // path changes; one that cannot be opened now (a missing folder, a full disk) is said once
    // and tried again at the next tick.
    // True when this call found the file refused (said once): the window shows it too.
    bool append(std::time_t when, const HistoryValues& values);

  private:
    std::string path_;
    std::string line_;
    bool refused_ = false;
    bool failure_said_ = false;
};
