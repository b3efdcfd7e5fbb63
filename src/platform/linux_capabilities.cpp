// SPDX-License-Identifier: GPL-2.0-or-later
// The process's capabilities, read and given up through the raw capget/capset system calls
// and prctl, so velmora needs no capability library.
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux_platform.h"

namespace {

// Version 3 of the interface: each set is two 32-bit words, capabilities 0-31 and 32-63.
using CapabilityWords = __user_cap_data_struct[_LINUX_CAPABILITY_U32S_3];

bool read_capabilities(CapabilityWords& data) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

uint64_t join(uint32_t low, uint32_t high) {
    return uint64_t{low} | uint64_t{high} << 32;
}

// The bounding set caps what any program this process starts could gain. Shrinking it needs
// CAP_SETPCAP in the effective set, which the capset that follows takes away, so it goes
// first; without CAP_SETPCAP the process cannot shrink it and leaves it as it is. The kernel
// knows capabilities up to its own last one: reading one past that fails.
bool drop_bounding_set(uint64_t effective, uint64_t keep) {
    if (!(effective & (1ull << CAP_SETPCAP)))
        return true;
    for (int cap = 0; cap < 64; ++cap) {
        const int held = prctl(PR_CAPBSET_READ, cap, 0, 0, 0);
        if (held < 0)
            break;
        if (held == 1 && !((keep >> cap) & 1) && prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0)
            return false;
    }
    return true;
}

}  // namespace

ProcessPrivileges LinuxPlatform::process_privileges() {
    ProcessPrivileges p;
    p.real_root = getuid() == 0;
    p.effective_root = geteuid() == 0;
    CapabilityWords data = {};
    if (read_capabilities(data)) {
        p.effective_caps = join(data[0].effective, data[1].effective);
        p.permitted_caps = join(data[0].permitted, data[1].permitted);
    }
    return p;
}

bool LinuxPlatform::drop_privileges(bool keep_file_owner_caps) {
    const uint64_t keep = keep_file_owner_caps ? FILE_OWNER_CAPABILITIES : 0;
    CapabilityWords data = {};
    if (!read_capabilities(data))
        return false;
    if (!drop_bounding_set(join(data[0].effective, data[1].effective), keep))
        return false;
    // Kernels before 4.3 have no ambient set: there is nothing to clear then.
    if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL)
        return false;
    for (int word = 0; word < _LINUX_CAPABILITY_U32S_3; ++word) {
        const uint32_t kept = static_cast<uint32_t>(keep >> (32 * word));
        data[word].effective &= kept;
        data[word].permitted &= kept;
        data[word].inheritable = 0;
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}
