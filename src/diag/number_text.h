// SPDX-License-Identifier: GPL-2.0-or-later
// Numbers as velmora writes them in its texts, logs and files: the same digits in every
// locale (a German desktop still gets "1.650").
#pragma once

#include <string>

// Fixed point with the given number of decimals: fixed_text(1.65, 3) -> "1.650".
std::string fixed_text(double value, int decimals);

// A whole number: 200 -> "200".
std::string whole_text(long value);

// Rounded half away from zero to a whole number (the pattern "0"): 2299.5 -> "2300".
std::string rounded_text(double value);

// The shortest general decimal form: 11.5 -> "11.5", 12 -> "12".
std::string shortest_text(double value);

// General form with at most the given number of significant digits and no trailing zeros, as
// printf's "%.*g": general_text(1.6, 15) -> "1.6", general_text(0.1 + 0.2, 15) -> "0.3".
std::string general_text(double value, int significant);
