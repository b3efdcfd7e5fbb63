// Numbers as the window shows them, never in the user's locale.
#pragma once

#include <string>

#include <QString>

// Rounded to a whole number (the pattern "0"): 2299.5 -> "2300".
QString format_rounded(double value);

// The shortest general decimal form: 11.5 -> "11.5", 12 -> "12".
QString format_shortest(double value);
