// SPDX-License-Identifier: GPL-2.0-or-later
// The text of the simulated board's state file: INI sections of key=value lines, written with
// CR LF line ends like velmora's other settings files and read with either line end.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sim/state_section.h"

class StateFile {
  public:
    StateSection& section(const std::string& name);  // added at the end when missing
    const StateSection* find(const std::string& name) const;
    const std::vector<std::pair<std::string, StateSection>>& sections() const { return sections_; }

    std::string format() const;
    // Takes every header and entry it understands, as a hand edit may leave them: blanks
    // around names, keys and values, a byte-order mark, either line end. Each line it cannot
    // use is reported: junk, a broken header (whose entries are skipped with it), a key given
    // twice in a section (the later value counts).
    static StateFile parse(const std::string& text, SimLoadReport& report);

    // A name or key from the file as a log line may show it: printable ASCII, cut short.
    static std::string shown(const std::string& text);

  private:
    size_t position(const std::string& name);  // of the section, added when missing

    std::vector<std::pair<std::string, StateSection>> sections_;
    std::unordered_map<std::string, size_t> index_;  // name -> position in sections_
};
