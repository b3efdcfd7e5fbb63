// SPDX-License-Identifier: GPL-2.0-or-later
// Temperature alarms: a limit per item (0 = off). Passing it raises the alarm once; it is
// armed again only when the reading has fallen 3 °C below the limit, so a reading that wavers
// around the limit does not raise it at every tick.
#pragma once

inline constexpr int kAlarmRearmBelow = 3;

enum class AlarmChange {
    None,
    Raised,   // the reading passed the limit: say so once
    Rearmed,  // the reading fell back far enough: the next pass is said again
};

struct Alarm {
    int limit = 0;  // °C; 0: off
    bool raised = false;
};

// One tick's reading (none when `known` is false: the alarm stays as it is).
AlarmChange alarm_step(Alarm& alarm, bool known, int reading);
