// SPDX-License-Identifier: GPL-2.0-or-later
// A second stack on the same thread. Hardware work that must wait between its steps (an FSB
// walk, a core-voltage sequence, an AutoFSB run) runs on one, so that each wait can hand the
// thread back to the event loop instead of sleeping: the work pauses in the middle of its own
// code and goes on later from exactly there, still on the thread that owns the ports.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

class Fiber {
  public:
    explicit Fiber(std::function<void()> body);
    ~Fiber();  // only once finished, or before the first resume
    Fiber(const Fiber&) = delete;
    Fiber& operator=(const Fiber&) = delete;

    // Runs the body until it yields or ends; from the thread's own stack or from another
    // fiber, which then gets the thread back. An exception that leaves the body is stored and
    // thrown again here.
    void resume();
    bool finished() const;
    bool running() const;

    // From inside a running fiber: back to whoever resumed it.
    static void yield();
    // The fiber the calling code runs on; nullptr on the thread's own stack.
    static Fiber* current();
    // How many stacks this thread has made so far; an ended fiber's stack serves the next.
    static size_t stacks_made();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};
