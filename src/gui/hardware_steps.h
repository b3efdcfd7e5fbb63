// SPDX-License-Identifier: GPL-2.0-or-later
// Long hardware work in the window, one step per event. Each job (an Apply, an AutoFSB run, a
// sensor tick) runs on a fiber of the GUI thread. Where the hardware code waits (the FSB's
// 150 ms per MHz, the regulator's settling, the AutoFSB step delay) the job hands the thread
// back to the event loop and a single-shot timer resumes it; an SMBus transaction keeps its
// 50 ms wait, and the job yields right after it. The calls, their order and their waits stay
// those of the hardware code; only the thread is free between them.
//
// One action at a time: an action job (Apply, a preset, an AutoFSB run) makes the hardware
// busy; a sensor job may step between an action's steps, since both only ever run whole steps.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/clock.h"

class Fiber;
class QTimer;

class HardwareSteps : public QObject {
    Q_OBJECT

  public:
    enum class Kind { Action, Sensors };

    // Installs its clock over the current one; the destructor ends every job (stop asked,
    // their remaining steps run at once) and puts the clock back.
    HardwareSteps();
    ~HardwareSteps() override;

    // Off (the default): a job runs to its end at once, sleeping its waits, as a command-line
    // run does. The window turns it on once its event loop runs.
    void set_stepping(bool on) { stepping_ = on; }
    bool stepping() const { return stepping_; }

    // Runs body as a job of the kind and then done, both on the GUI thread. With stepping on,
    // body runs up to its first wait before start returns.
    void start(Kind kind, std::function<void()> body, std::function<void()> done = nullptr);
    bool busy(Kind kind) const;
    bool busy_at_all() const { return !jobs_.empty(); }

    // Asks the running action to end after its current step (see request_action_end) and
    // runs then once it has ended; at once when no action runs.
    void end_action(std::function<void()> then);

    // Asks every job to end (an action after its current step, a sensor tick after its
    // reads) and runs then once none is left; at once when none runs.
    void end_all(std::function<void()> then);

    // The next waiting step, at once: its wait goes to the clock underneath (a virtual clock
    // in tests). False when no job waits. Tests step with it; the destructor drains with it.
    bool run_next_step();
    // The wait before the next step of the kind's job, in ms; -1 when none waits.
    int64_t pending_wait(Kind kind) const;

    // Called after every step of an action that did not end it (the progress display).
    std::function<void()> after_action_step;

  private:
    struct Job;
    class SteppingClock;
    friend class SteppingClock;

    Job* job_of_current_fiber() const;
    void resume(Job* job);
    void finished(Job* job);

    std::vector<std::unique_ptr<Job>> jobs_;
    std::vector<std::function<void()>> after_action_;
    std::vector<std::function<void()>> after_all_;
    std::unique_ptr<SteppingClock> clock_;
    Clock* underneath_ = nullptr;
    bool stepping_ = false;
};

// While a nested event loop runs (a message box asked inside a job), the job must not hand
// the thread away from inside it: its waits are slept there instead.
class NestedEventLoop {
  public:
    NestedEventLoop();
    ~NestedEventLoop();
    NestedEventLoop(const NestedEventLoop&) = delete;
    NestedEventLoop& operator=(const NestedEventLoop&) = delete;
};
