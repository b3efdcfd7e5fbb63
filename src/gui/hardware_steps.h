// SPDX-License-Identifier: GPL-2.0-or-later
// Long hardware work in the window, one step per turn of the event loop. Each job (an Apply,
// an AutoFSB run, a board change, a sensor tick) runs on a fiber of the GUI thread and hands
// the thread back between whole hardware operations; it is resumed by one precise timer.
//
// Whole operations only. One SMBus transaction (registers, its 50 ms wait, status, data) is one
// step: its wait is slept, never handed to other work. After it the job keeps the ports: no
// other job runs until this one reaches one of its own waits (the FSB's 150 ms per MHz, the
// regulator's settling, the AutoFSB step delay) or ends, since it may be in the middle of a
// sequence (a register read, then written back). At those waits, and only there, a sensor tick
// may run between an action's steps, so AutoFAN and the temperature watch stay alive through a
// run of a minute; this is the one place where other hardware access comes between the steps
// of an FSB walk.
//
// Waits are minimums: a job goes on only once the clock shows its whole wait has passed, and
// an end request (close, Apply, board change, signal) never shortens one. At most one step
// runs per turn of the event loop, so the thread is never blocked longer than one SMBus wait
// plus the step's own work.
#pragma once

#include <QObject>
#include <cstdint>
#include <exception>
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
    // their remaining steps run at once, those not begun dropped) and puts the clock back.
    HardwareSteps();
    ~HardwareSteps() override;

    // Off (the default): a job runs to its end at once, sleeping its waits, as a command-line
    // run does. The window turns it on once its event loop runs.
    void set_stepping(bool on);
    bool stepping() const { return stepping_; }

    // Runs body as a job of the kind and then done, both on the GUI thread. With stepping on,
    // the job's first step comes at a later turn of the event loop (at once when off). An
    // exception that leaves body reaches the caller: thrown from start when stepping is off,
    // else handed to on_failure once done has run.
    void start(Kind kind, std::function<void()> body, std::function<void()> done = nullptr);
    bool busy(Kind kind) const;
    bool busy_at_all() const { return !jobs_.empty(); }

    // Asks the running action to end after its current step (see request_action_end) and
    // runs then once it has ended; at once when no action runs. An action that has not begun
    // is dropped (its done still runs).
    void end_action(std::function<void()> then);

    // Asks every job to end (an action after its current step, a sensor tick after its
    // reads) and runs then once none is left; at once when none runs.
    void end_all(std::function<void()> then);

    // For the window's end: every job ends now (stop asked, the remaining steps at once, those
    // not begun dropped, a failure not told), while the window they report to is still whole.
    void finish_all();

    // The next step, at once: what is left of its wait goes to the clock underneath (a virtual
    // clock in tests). False when no job can step. Tests step with it; the destructor drains.
    bool run_next_step();
    // What is left of the wait before the next step, in ms; -1 when no job can step.
    int64_t next_wait() const;

    // Called after every step of an action that did not end it (the progress display).
    std::function<void()> after_action_step;
    // A job of a stepping run ended with an exception; called after its done.
    std::function<void(std::exception_ptr)> on_failure;

  private:
    struct Job;
    class SteppingClock;
    friend class SteppingClock;

    Job* job_of_current_fiber() const;
    // The job whose step comes next: the one that keeps the ports, else the earliest due.
    Job* next_job() const;
    void schedule();
    void timer_fired();
    void run_step(Job* job);
    void finished(Job* job, std::exception_ptr failure);
    void drop_unstarted(bool actions_only);

    std::vector<std::unique_ptr<Job>> jobs_;
    std::vector<std::function<void()>> after_action_;
    std::vector<std::function<void()>> after_all_;
    std::unique_ptr<SteppingClock> clock_;
    Clock* underneath_ = nullptr;
    QTimer* timer_ = nullptr;
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
