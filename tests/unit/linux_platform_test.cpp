#include "platform/linux_platform.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
