// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/history_csv.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>

#include "diag/append_file.h"
#include "diag/debuglog.h"
#include "diag/number_text.h"
#ifndef _WIN32
#include "support/link_target.h"
#endif

namespace {

// "2026-12-08T12:30:05": integers only, so no locale can change it.
void append_local_time(std::time_t when, std::string& out) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    char text[80];  // room for any int in each field
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    out += text;
}

}  // namespace

std::string history_csv_header() {
    std::string header = "time";
    for (int item = 0; item < kHistoryItems; ++item)
        header += std::string(",") + history_item_info(item).column;
    return header + "\n";
}

void history_csv_line(std::time_t when, const HistoryValues& values, std::string& line) {
    line.clear();
    append_local_time(when, line);
    for (int item = 0; item < kHistoryItems; ++item) {
        line += ',';
        if (!history_missing(values[item]))
            line += fixed_text(values[item], history_item_info(item).decimals);
    }
    line += '\n';
}

namespace {

// The CSV path comes from config.ini, which the owner of the settings folder writes. The whole
// path is walked with the link rule, and a run with more rights than that owner (root in a
// user's folder) writes only inside the folder or to a file of the owner's: else the user
// could have root append to, or create, a file the user may not touch. Empty when it may.
std::string outside_the_owners_reach(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return {};
#else
    WriteTarget target;
    const TargetCheck check = find_write_target(path, target);
    if (check == TargetCheck::ForeignLink || check == TargetCheck::ForeignTarget)
        return link_refusal_text(check);
    struct stat folder {};
    if (::stat(".", &folder) != 0 || folder.st_uid == ::geteuid())
        return {};
    const std::string& at = target.path;
    const bool below = !at.empty() && at[0] != '/' && at != ".." && at.rfind("../", 0) != 0 &&
                       at.find("/../") == std::string::npos;
    // A path written out in full (as a file dialog gives it) may name the folder itself.
    const size_t slash = at.rfind('/');
    const std::string parent = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : at.substr(0, slash);
    struct stat st {};
    const bool in_folder = ::stat(parent.c_str(), &st) == 0 && st.st_dev == folder.st_dev &&
                           st.st_ino == folder.st_ino;
    if (below || in_folder ||
        (target.exists && ::stat(at.c_str(), &st) == 0 && st.st_uid == folder.st_uid))
        return {};
    return "outside the settings folder and not its owner's";
#endif
}

}  // namespace

void HistoryCsv::set_path(const std::string& path) {
    if (path == path_)
        return;
    path_ = path;
    refused_ = false;
    failure_said_ = false;
}

bool HistoryCsv::append(std::time_t when, const HistoryValues& values) {
    if (path_.empty() || refused_)
        return false;
    int fd = -1;
    std::string why = outside_the_owners_reach(path_);
    const AppendOpen opened = why.empty() ? open_for_append(path_, fd, why) : AppendOpen::Refused;
    if (opened != AppendOpen::Opened) {
        refused_ = opened == AppendOpen::Refused;
        if (!failure_said_)
            debug_print("HISTORY: %s is %s, readings not logged\n", log_excerpt(path_), why);
        failure_said_ = true;
        return refused_;
    }
    failure_said_ = false;
    // An empty file is a new one: it gets the header, in the same write as the line.
    const bool empty = ::lseek(fd, 0, SEEK_END) == 0;
    history_csv_line(when, values, line_);
    if (empty)
        line_.insert(0, history_csv_header());
    write_whole(fd, line_);
    const bool large = file_size(fd) > kRotateAtBytes;
    ::close(fd);
    // Months of readings stay bounded: past the size the file is put aside ("<file>.old") and
    // the next tick begins a new one with its header.
    if (large)
        rotate_when_large(path_);
    return false;
}
