// The text of the simulated board's state file: INI sections of key=value lines, written with
// CR LF line ends like velmora's other settings files and read with either line end.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sim/state_section.h"

class StateFile {
  public:
    StateSection& section(const std::string& name);  // added at the end when missing
    const StateSection* find(const std::string& name) const;
    const std::vector<std::pair<std::string, StateSection>>& sections() const { return sections_; }

    std::string format() const;
    // Takes every header and entry it understands; each other non-empty line is reported.
    static StateFile parse(const std::string& text, SimLoadReport& report);

  private:
    std::vector<std::pair<std::string, StateSection>> sections_;
};
