// SPDX-License-Identifier: GPL-2.0-or-later
#include "automation/cpuload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"

namespace {

using namespace std::chrono_literals;

TEST(CpuLoad, LoadFromTwoSamples) {
    struct Case {
        const char* what;
        uint64_t idle_delta, time_delta;
        std::optional<int32_t> load;  // nullopt: the pair is skipped
    };
    const Case cases[] = {
        {"idle all the time", 1000, 1000, 0},
        {"never idle", 0, 1000, 100},
        {"half idle", 500, 1000, 50},
        {"0.4 % idle", 4, 1000, 100},
        {"99.5 % idle rounds up", 995, 1000, 1},
        {"99.6 % idle", 996, 1000, 0},
        {"idle slightly ahead", 1004, 1000, 0},
        {"idle far ahead", 1500, 1000, 0},
        {"time stood still", 0, 0, std::nullopt},
    };
    // Counters of a machine that has been up for a while, so no difference starts at zero.
    const uint64_t idle0 = 8'640'000'000'000, time0 = 132'000'000'000'000'000;
    for (const Case& c : cases) {
        int32_t load = -7;
        const bool measured =
            cpuload_from_samples(idle0, time0, idle0 + c.idle_delta, time0 + c.time_delta, load);
        EXPECT_EQ(measured, c.load.has_value()) << c.what;
        EXPECT_EQ(load, c.load.value_or(-7)) << c.what;
    }
    int32_t load = -7;
    EXPECT_FALSE(cpuload_from_samples(idle0, time0, idle0 - 1, time0 + 1000, load))
        << "idle stepped back";
    EXPECT_FALSE(cpuload_from_samples(idle0, time0, idle0, time0 - 1000, load))
        << "time stepped back";
    EXPECT_EQ(load, -7);
}

// Waits, for a few seconds at most, until the condition holds.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 5000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return condition();
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class CpuLoadSampler : public ::testing::Test {
  protected:
    CpuLoadSampler() {
        os.times_source = [this](uint64_t& time, uint64_t& idle) {
            std::lock_guard lock(mutex);
            ++reads;
            if (readings.empty())
                return false;
            std::tie(time, idle) = readings.front();
            if (readings.size() > 1)
                readings.pop_front();
            return true;
        };
        cpu_load = 0;
    }
    ~CpuLoadSampler() override { cpuload_stop(); }

    // The readings the counters give from now on, the last one repeated; none: they fail.
    void script(std::deque<std::pair<uint64_t, uint64_t>> next) {
        std::lock_guard lock(mutex);
        readings = std::move(next);
    }
    int reads_so_far() {
        std::lock_guard lock(mutex);
        return reads;
    }
    // Ends the sampler's sleep and waits for the pass that follows.
    bool next_pass() {
        const uint64_t before = cpuload_passes();
        cpuload_wake_for_test();
        return eventually([&] { return cpuload_passes() > before || !cpuload_running(); });
    }
    std::string log() { return read_file(dir.path() / "velmora.deb"); }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
    std::mutex mutex;
    std::deque<std::pair<uint64_t, uint64_t>> readings;  // (system time, idle time)
    int reads = 0;
};

TEST_F(CpuLoadSampler, StartsOneThreadThatLaterStartsRetuneAndAStopEnds) {
    script({{1'000'000, 400'000}});
    EXPECT_EQ(cpuload_start(cpu_load, 0), 0);
    EXPECT_FALSE(cpuload_running());
    EXPECT_EQ(log(), "CPULOAD: Updaterate to small\n");

    const uint64_t passes = cpuload_passes();
    ASSERT_EQ(cpuload_start(cpu_load, 60), 1);
    ASSERT_TRUE(eventually([&] { return cpuload_passes() > passes; }));
    EXPECT_EQ(cpu_load, 0) << "one reading measures nothing";

    EXPECT_EQ(cpuload_start(cpu_load, 10), 1);
    EXPECT_EQ(cpuload_start(cpu_load, -1), 0);
    EXPECT_EQ(cpuload_interval_ms(), 10000) << "a refused start leaves the interval";
    EXPECT_TRUE(cpuload_running());
    const std::string text = log();
    EXPECT_EQ(count(text, "CPULOAD: thread created"), 1) << text;
    const std::string created = "\nCPULOAD: thread created, id: ";
    const size_t id = text.find(created) + created.size();
    const size_t id_end = text.find_first_not_of("0123456789abcdef", id);
    EXPECT_EQ(text.substr(id_end, 16), ", update: 60000\n") << text;
    EXPECT_GE(id_end - id, 2u) << text;
    EXPECT_EQ(count(text, "CPULOAD: Updaterate to small\n"), 2);

    // 3 of 4 time units busy; then the counters step back, which keeps the last value; then
    // they move on from the new base.
    script({{1'001'000, 400'250}, {500, 100}, {1'500, 1'100}});
    ASSERT_TRUE(next_pass());
    EXPECT_TRUE(eventually([] { return cpu_load == 75; }));
    ASSERT_TRUE(next_pass());
    EXPECT_EQ(cpu_load, 75);
    ASSERT_TRUE(next_pass());
    EXPECT_TRUE(eventually([] { return cpu_load == 0; }));

    // A shorter interval ends the running 10 s sleep after 1 s from its start.
    const uint64_t before = cpuload_passes();
    EXPECT_EQ(cpuload_start(cpu_load, 1), 1);
    EXPECT_TRUE(eventually([&] { return cpuload_passes() > before; }));
    EXPECT_EQ(count(log(), "CPULOAD: thread created"), 1);

    // A stop ends the sleep at once; a second one finds nothing to do.
    ASSERT_EQ(cpuload_start(cpu_load, 60), 1);
    auto stopped = std::async(std::launch::async, cpuload_stop);
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "stop waits out the sleep";
    EXPECT_FALSE(cpuload_running());
    cpuload_stop();
}

TEST_F(CpuLoadSampler, GivesUpAfterTenFailedReadingsInARowAndCanBeStartedAgain) {
    cpu_load = 42;
    // Nine failures, one reading, then failures only: the reading resets the count.
    const uint64_t passes = cpuload_passes();
    ASSERT_EQ(cpuload_start(cpu_load, 1), 1);
    ASSERT_TRUE(eventually([&] { return cpuload_passes() > passes; }));
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(next_pass());
    script({{1'000, 500}});
    ASSERT_TRUE(next_pass());
    script({});
    for (int i = 0; i < 12 && cpuload_running(); ++i)
        ASSERT_TRUE(next_pass());
    EXPECT_TRUE(eventually([] { return !cpuload_running(); }));
    EXPECT_EQ(reads_so_far(), 20);
    EXPECT_EQ(cpu_load, 0);
    const std::string stopped = "CPULOAD: system times not available, load measurement stopped\n";
    EXPECT_EQ(count(log(), stopped), 1) << log();

    EXPECT_EQ(cpuload_start(cpu_load, 1), 1);
    EXPECT_TRUE(cpuload_running());
    EXPECT_EQ(count(log(), "CPULOAD: thread created"), 2);
}

}  // namespace
