// Numbers in texts: the same digits in every locale.
#include <gtest/gtest.h>

#include <clocale>

#include "diag/number_text.h"

TEST(NumberText, GeneralFormKeepsFifteenSignificantDigitsWithoutTrailingZeros) {
    // A locale with a decimal comma, when the system has one, changes nothing.
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {100, "100"},       {1.6, "1.6"},
        {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"},
        {-2.5, "-2.5"},     {65535, "65535"},
        {0, "0"},           {123456789012345678.0, "1.23456789012346e+17"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(general_text(c.value, 15), c.text) << c.text;
    std::setlocale(LC_ALL, "C");
}
