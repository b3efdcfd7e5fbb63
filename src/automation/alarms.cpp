// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/alarms.h"

AlarmChange alarm_step(Alarm& alarm, bool known, int reading) {
    if (alarm.limit <= 0) {
        // Switched off: a raised alarm has nothing left to say.
        const bool was = alarm.raised;
        alarm.raised = false;
        return was ? AlarmChange::Rearmed : AlarmChange::None;
    }
    if (!known)
        return AlarmChange::None;
    if (!alarm.raised && reading > alarm.limit) {
        alarm.raised = true;
        return AlarmChange::Raised;
    }
    if (alarm.raised && reading <= alarm.limit - kAlarmRearmBelow) {
        alarm.raised = false;
        return AlarmChange::Rearmed;
    }
    return AlarmChange::None;
}
