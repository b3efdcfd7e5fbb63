// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/presets.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kNoDistance = 300;  // a preset this far away or farther is never the nearest

std::vector<Preset>& store() {
    static std::vector<Preset> presets;
    return presets;
}

}  // namespace

void preset_add(const Preset& preset) {
    preset_remove(preset.fsb);
    store().push_back(preset);
}

void preset_remove(int fsb) {
    std::vector<Preset>& s = store();
    const auto at =
        std::find_if(s.begin(), s.end(), [fsb](const Preset& p) { return p.fsb == fsb; });
    if (at != s.end())
        s.erase(at);
}

int preset_get(int fsb, Preset* out) {
    const std::vector<Preset>& s = store();
    if (s.empty())
        return 0;
    for (const Preset& p : s) {
        if (p.fsb == fsb) {
            *out = p;
            return 1;
        }
    }
    *out = Preset{};
    return 0;
}

int preset_at(int index, Preset* out) {
    const std::vector<Preset>& s = store();
    if (index < 0 || index >= static_cast<int>(s.size()))
        return 0;
    *out = s[static_cast<size_t>(index)];
    return 1;
}

int preset_count() {
    return static_cast<int>(store().size());
}

int preset_find_nearest(int fsb, Preset* out, int above) {
    const Preset* best = nullptr;
    int best_distance = kNoDistance;
    for (const Preset& p : store()) {
        const int distance = above ? p.fsb - fsb : fsb - p.fsb;
        if (distance > 0 && distance < best_distance) {
            best_distance = distance;
            best = &p;
        }
    }
    if (!best)
        return 0;
    *out = *best;
    return 1;
}

void presets_reset_state() {
    store().clear();
}
