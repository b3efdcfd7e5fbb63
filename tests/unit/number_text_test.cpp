// SPDX-License-Identifier: GPL-2.0-or-later
// Numbers in texts: the same digits in every locale.
#include <gtest/gtest.h>

#include "diag/number_text.h"

TEST(NumberText, GeneralFormKeepsFifteenSignificantDigitsWithoutTrailingZeros) {
    EXPECT_EQ(general_text(100, 15), "100");
    EXPECT_EQ(general_text(1.6, 15), "1.6");
    EXPECT_EQ(general_text(0.1 + 0.2, 15), "0.3");
    EXPECT_EQ(general_text(1.0 / 3, 15), "0.333333333333333");
}
