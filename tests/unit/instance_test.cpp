// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/instance.h"

#include <gtest/gtest.h>

#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"

namespace {

TEST(InstanceKey, IsProgramNameBlankVersion) {
    EXPECT_EQ(instance_key(), "velmora 0.8.7-dev");
}

TEST(AlreadyRunning, OnlyATitleThatBeginsWithTheKeyCounts) {
    FakePlatform os;
    ScopedPlatform installed(os);
    const std::string key = instance_key();

    os.titles = {"", "velmora", "Terminal", "about velmora 0.8.7-dev (Epox 8RDA+)"};
    EXPECT_FALSE(is_already_running(key));

    os.titles = {"", "velmora 0.8.7-dev (Asus A7N8X)"};
    EXPECT_TRUE(is_already_running(key));

    // Whatever program owns the window, the prefix blocks the start.
    os.titles = {"velmora 0.8.7-dev.txt - Editor"};
    EXPECT_TRUE(is_already_running(key));

    // Case matters, and another version is another key.
    os.titles = {"Velmora 0.8.7-dev (Epox 8RDA+)", "velmora 0.8.6 (Epox 8RDA+)"};
    EXPECT_FALSE(is_already_running(key));
}

TEST(AlreadyRunning, TitlesAreCutAt255CharactersAndLongKeysMatchNothing) {
    FakePlatform os;
    ScopedPlatform installed(os);
    std::string long_key(254, 'k');
    os.titles = {long_key + "tail"};
    EXPECT_TRUE(is_already_running(long_key));

    // The 256th character of a title is never looked at.
    std::string at_limit(255, 'k');
    os.titles = {at_limit + "x"};
    EXPECT_FALSE(is_already_running(at_limit));  // a 255-character key matches nothing
    EXPECT_TRUE(is_already_running(std::string(254, 'k')));
}

TEST(WindowsNt, OnlyTheNtPlatformIdCountsAndAFailedQueryIsLogged) {
    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed(os);

    os.family = OsFamily::Linux;
    EXPECT_FALSE(is_windows_nt());

    os.family = OsFamily::Windows;
    os.windows_platform_id = 2;
    EXPECT_TRUE(is_windows_nt());
    os.windows_platform_id = 1;  // Windows 9x/ME
    EXPECT_FALSE(is_windows_nt());
    EXPECT_FALSE(file_exists("velmora.deb"));

    os.windows_platform_id.reset();
    EXPECT_FALSE(is_windows_nt());
    EXPECT_EQ(read_file("velmora.deb"), "ENUM: Getting OS version info failed\n");
}

}  // namespace
