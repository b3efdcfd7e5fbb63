// SPDX-License-Identifier: GPL-2.0-or-later
// The one reading of a whole number from a settings file: blanks around it, an optional sign,
// decimal digits, within 32 bits. Anything else ("nan", "12abc", "0x80", "1e400", nothing) is
// no number, so that a caller keeps its value instead of taking a part of the text.
#pragma once

#include <cstdint>

bool parse_whole_number(const char* text, int32_t& out);
