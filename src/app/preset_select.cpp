// SPDX-License-Identifier: GPL-2.0-or-later
// A preset chosen to be applied by hand (the list's Apply, the tray's "Force max." and
// "Force min."): its values become the selection that Apply then writes.
#include "app/session.h"
#include "automation/presets.h"
#include "diag/debuglog.h"

namespace {
// Only a preset with at least these values is applied by hand; lower ones serve AutoFSB alone.
constexpr double kMinAppliedVcore = 1.0;
constexpr double kMinAppliedVdimm = 2.4;
constexpr int kMinAppliedFsb = 50;
}  // namespace

bool Session::SelectPreset(int fsb) {
    Preset preset{};
    if (!preset_get(fsb, &preset)) {
        debug_print("VELMORA: ApplyPreset(): Preset in list but not in array!?\n");
        return false;
    }
    // A preset that is not applied leaves the selection as it was; otherwise the next Apply
    // would write values nobody sees.
    if (preset.vcore < kMinAppliedVcore || preset.vdimm < kMinAppliedVdimm || fsb < kMinAppliedFsb)
        return false;
    values_selected.fsb = fsb;
    values_selected.vcore = preset.vcore;
    values_selected.vdimm = preset.vdimm;
    return true;
}
