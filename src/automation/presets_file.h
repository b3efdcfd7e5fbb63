// SPDX-License-Identifier: GPL-2.0-or-later
// presets.ini: the preset store as text, one preset a line ("200:1.650:2.70"), read back word
// by word. Numbers are written and read the same way in every locale.
#pragma once

#include <string>

#include "automation/presets.h"

// The preset's text: FSB, Vcore with three decimals, Vdimm with two ("200:1.650:2.70").
std::string preset_format(const Preset& preset);

// Reads one word of presets.ini. True only when it holds exactly two ':' and its three fields
// are whole numbers (an integer FSB of 50 to 300 MHz, two finite voltages of 0 to 5 V; a
// Vdimm of 0 stands for a board without Vdimm control); `out` is then the preset.
bool preset_parse(const std::string& word, Preset* out);

// Writes the whole store, in store order, over the file; the old file stays as it was when
// the new one cannot be written. 1 when written, 0 otherwise (logged).
int preset_save(const char* file);

// The file the presets are kept in, in the working folder.
inline constexpr const char* kPresetFile = "presets.ini";

// Adds every preset the file holds to the store (one with an FSB already stored replaces it);
// words that are no preset are logged and skipped. 1 when the file was read, 0 (logged) when
// it cannot be.
int preset_load(const char* file);
