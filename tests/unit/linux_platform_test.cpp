// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/linux_platform.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace {

// A capability set of the calling process as /proc/self/status shows it ("CapEff" ...).
uint64_t status_caps(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoull(line.substr(field.size() + 1), nullptr, 16);
    return ~0ull;
}

TEST(ProcStat, CountsAllAndIdleTimeOfAllProcessorsIn100NanosecondUnits) {
    uint64_t all = 0, idle = 0;
    // user nice system idle iowait irq softirq steal guest guest_nice
    ASSERT_TRUE(parse_proc_stat("cpu  100 0 50 800 50 0 0 0 7 7\ncpu0 1 2 3 4\n", 100, all, idle));
    EXPECT_EQ(all, 1000u * 100000u);  // guest time is already inside user time
    EXPECT_EQ(idle, 850u * 100000u);
    EXPECT_FALSE(parse_proc_stat("intr 1 2 3\n", 100, all, idle));
    EXPECT_FALSE(parse_proc_stat("cpu  1 2\n", 100, all, idle));
}

TEST(ProcStat, TheRunningSystemGivesGrowingCounters) {
    LinuxPlatform os;
    uint64_t all = 0, idle = 0;
    ASSERT_TRUE(os.system_times(all, idle));
    EXPECT_GT(all, 0u);
    EXPECT_LE(idle, all);
}

// Each drop runs in a child process, so the test process keeps what it has.
TEST(Capabilities, TheDropLeavesOnlyTheFileOwnerCapabilitiesOrNothing) {
    if (geteuid() != 0 || !(status_caps("CapEff") & (1ull << 8)))  // CAP_SETPCAP
        GTEST_SKIP() << "needs root with CAP_SETPCAP to drop the bounding set";
    for (const bool keep : {true, false}) {
        const uint64_t kept = keep ? FILE_OWNER_CAPABILITIES : 0;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool dropped = LinuxPlatform().drop_privileges(keep);
            _exit(dropped && status_caps("CapEff") == kept && status_caps("CapPrm") == kept &&
                          status_caps("CapBnd") == kept && status_caps("CapInh") == 0 &&
                          status_caps("CapAmb") == 0
                      ? 0
                      : 1);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "keep " << keep;
    }
}

}  // namespace
