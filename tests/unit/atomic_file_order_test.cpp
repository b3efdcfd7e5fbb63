// SPDX-License-Identifier: GPL-2.0-or-later
// The order of a save's durable steps, seen through the C library's own calls: the new file is
// flushed to the disk before it takes the old one's name, so a power cut leaves either file
// whole, never an empty one under the settings' name. This test program defines fsync and
// rename itself; they note each call and pass it on to the C library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "helpers/temp_dir.h"
#include "support/atomic_file.h"

namespace {

bool noting = false;
std::vector<std::string> calls;

// The file an open descriptor stands for, by its last name.
std::string name_of(int fd) {
    char path[PATH_MAX] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), path, sizeof path - 1);
    const std::string full(path, n > 0 ? static_cast<size_t>(n) : 0);
    return full.substr(full.rfind('/') + 1);
}

std::string base_of(const char* path) {
    const std::string p(path);
    return p.substr(p.rfind('/') + 1);
}

template <typename F>
F next_definition(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int fd) {
    if (noting)
        calls.push_back("fsync " + name_of(fd));
    static const auto real = next_definition<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
    if (noting)
        calls.push_back("rename " + base_of(from) + " " + base_of(to));
    static const auto real = next_definition<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

namespace {

TEST(AtomicFileOrder, TheNewFileIsOnTheDiskBeforeItTakesTheName) {
    TempWorkDir dir;
    for (const bool exists : {false, true}) {
        SCOPED_TRACE(exists ? "replacing" : "new");
        calls.clear();
        noting = true;
        const AtomicWrite result = write_file_atomically("config.ini", "[Main]\r\n", nullptr);
        noting = false;
        ASSERT_EQ(result, AtomicWrite::Written);
        ASSERT_EQ(calls.size(), 2u) << ::testing::PrintToString(calls);
        const std::string temp = calls[0].substr(6);
        EXPECT_EQ(calls[0].rfind("fsync config.ini.velmora-new-", 0), 0u) << calls[0];
        EXPECT_EQ(calls[1], "rename " + temp + " config.ini");
        EXPECT_EQ(read_file("config.ini"), "[Main]\r\n");
    }
}

}  // namespace
