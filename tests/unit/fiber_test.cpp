// SPDX-License-Identifier: GPL-2.0-or-later
// The second stacks long hardware work runs on: a body pauses and goes on where it stopped, an
// exception reaches whoever resumed it, and ended fibers hand their stacks on.
#include "platform/fiber.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

TEST(Fiber, PausesResumesPassesOnItsExceptionAndReusesTheStacksOfEndedFibers) {
    std::string trail;
    Fiber fiber([&] {
        trail += "a";
        Fiber::yield();
        trail += "b";
        throw std::runtime_error("port lost");
    });
    fiber.resume();
    EXPECT_EQ(trail, "a");
    EXPECT_FALSE(fiber.finished());
    EXPECT_THROW(fiber.resume(), std::runtime_error);
    EXPECT_EQ(trail, "ab");
    EXPECT_TRUE(fiber.finished());

    // A tick a second for an hour: the stacks made stay a handful, with one of them left
    // paused for good (a fiber dropped in the middle of its body).
    const size_t made = Fiber::stacks_made();
    auto paused = std::make_unique<Fiber>([] { Fiber::yield(); });
    paused->resume();
    for (int tick = 0; tick < 3600; ++tick) {
        int ran = 0;
        Fiber once([&] { ++ran; });
        once.resume();
        ASSERT_EQ(ran, 1);
    }
    paused.reset();
    EXPECT_LE(Fiber::stacks_made() - made, 2u);
}

}  // namespace
