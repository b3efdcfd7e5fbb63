// Numbers as the window shows them: the same digits in every locale.
#pragma once

#include <QString>

// Fixed point with the given number of decimals: format_fixed(1.65, 3) -> "1.650".
QString format_fixed(double value, int decimals);

// A whole number: 200 -> "200".
QString format_whole(long value);

// Rounded half away from zero to a whole number (the pattern "0"): 2299.5 -> "2300".
QString format_rounded(double value);

// The shortest general decimal form: 11.5 -> "11.5", 12 -> "12".
QString format_shortest(double value);
