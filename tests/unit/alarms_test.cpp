// SPDX-License-Identifier: GPL-2.0-or-later
// A temperature alarm over a series of readings: raised once, armed again 3 °C below.
#include "automation/alarms.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Alarms, ARaisedAlarmIsSaidOnceAndArmedAgainThreeDegreesBelowItsLimit) {
    using C = AlarmChange;
    const struct {
        int reading;
        bool known;
        C change;
    } series[] = {
        {69, true, C::None},    {70, true, C::None},  // at the limit: not passed
        {71, true, C::Raised},  {75, true, C::None},  // said once
        {0, false, C::None},    {68, true, C::None},  // no reading; 2 below is not enough
        {67, true, C::Rearmed}, {71, true, C::Raised},
    };
    Alarm alarm{70, false};
    for (const auto& s : series)
        EXPECT_EQ(alarm_step(alarm, s.known, s.reading), s.change) << s.reading;
    // Switched off while raised: armed again, and nothing is raised at 0.
    alarm.limit = 0;
    EXPECT_EQ(alarm_step(alarm, true, 99), C::Rearmed);
    EXPECT_EQ(alarm_step(alarm, true, 99), C::None);
}

}  // namespace
