// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/privileges.h"

#include "diag/errortext.h"
#include "platform/platform.h"

namespace {

// The names of the capabilities a drop can leave behind.
std::string capability_names(uint64_t caps) {
    if (caps == 0)
        return "none";
    std::string names;
    for (int cap = 0; cap < 64; ++cap) {
        if (!((caps >> cap) & 1))
            continue;
        if (!names.empty())
            names += ' ';
        switch (cap) {
            case CAPABILITY_CHOWN:
                names += "CAP_CHOWN";
                break;
            case CAPABILITY_DAC_OVERRIDE:
                names += "CAP_DAC_OVERRIDE";
                break;
            case CAPABILITY_FOWNER:
                names += "CAP_FOWNER";
                break;
            default:
                names += "capability " + std::to_string(cap);
        }
    }
    return names;
}

}  // namespace

std::string drop_process_privileges() {
    Platform& os = current_platform();
    const ProcessPrivileges before = os.process_privileges();
    if (before.effective_caps == 0 && before.permitted_caps == 0)
        return {};
    if (!os.drop_privileges(before.effective_root))
        return "VELMORA: Dropping capabilities failed: " + system_error_text() + "\n";
    return "VELMORA: Capabilities dropped, kept: " +
           capability_names(os.process_privileges().permitted_caps) + "\n";
}

bool process_is_privileged() {
    return current_platform().process_privileges().any();
}
