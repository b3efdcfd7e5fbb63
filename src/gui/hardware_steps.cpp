// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/hardware_steps.h"

#include <QTimer>
#include <algorithm>
#include <utility>

#include "hw/stop_request.h"
#include "platform/fiber.h"

namespace {
// Fibers inside a nested event loop: their waits are slept, not yielded.
std::vector<Fiber*> held_fibers;

bool held(Fiber* fiber) {
    return std::find(held_fibers.begin(), held_fibers.end(), fiber) != held_fibers.end();
}

int64_t whole_ms_until(uint64_t due_us, uint64_t now_us) {
    return due_us > now_us ? static_cast<int64_t>((due_us - now_us + 999) / 1000) : 0;
}
}  // namespace

NestedEventLoop::NestedEventLoop() {
    held_fibers.push_back(Fiber::current());
}

NestedEventLoop::~NestedEventLoop() {
    held_fibers.pop_back();
}

struct HardwareSteps::Job {
    Kind kind = Kind::Action;
    std::unique_ptr<Fiber> fiber;
    std::function<void()> done;
    uint64_t due_us = 0;  // the step may not run before this time of the clock underneath
    bool started = false;
    bool waiting = true;       // yielded (or not begun) and not running
    bool keeps_ports = false;  // between whole operations of one sequence: nobody else steps
};

// A wait inside a job's fiber ends the step; anywhere else it is the clock underneath's.
class HardwareSteps::SteppingClock : public Clock {
  public:
    explicit SteppingClock(HardwareSteps& owner) : owner_(owner) {}
    void sleep_ms(uint32_t ms) override {
        if (Job* job = owner_.job_of_current_fiber()) {
            job->due_us = now_us() + uint64_t{ms} * 1000u;
            job->keeps_ports = false;
            Fiber::yield();
            return;
        }
        owner_.underneath_->sleep_ms(ms);
    }
    // The SMBus wait is part of its transaction: slept, whoever waits.
    void bus_wait_ms(uint32_t ms) override { owner_.underneath_->bus_wait_ms(ms); }
    void operation_done() override {
        if (Job* job = owner_.job_of_current_fiber()) {
            job->due_us = now_us();
            job->keeps_ports = true;
            Fiber::yield();
        }
    }
    uint32_t now_ms() override { return owner_.underneath_->now_ms(); }
    uint64_t now_us() override { return owner_.underneath_->now_us(); }

  private:
    HardwareSteps& owner_;
};

HardwareSteps::HardwareSteps()
    : clock_(std::make_unique<SteppingClock>(*this)), timer_(new QTimer(this)) {
    underneath_ = &current_clock();
    install_clock(clock_.get());
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] { timer_fired(); });
}

HardwareSteps::~HardwareSteps() {
    finish_all();
    install_clock(underneath_ == clock_.get() ? nullptr : underneath_);
}

void HardwareSteps::finish_all() {
    on_failure = nullptr;
    if (!jobs_.empty())
        request_action_end();
    drop_unstarted(false);
    for (;;) {
        try {
            if (!run_next_step())
                break;
        } catch (...) {
            // The window is going; a job that fails on its way out has nobody left to tell.
        }
    }
    clear_action_end();
}

void HardwareSteps::set_stepping(bool on) {
    stepping_ = on;
    schedule();
}

HardwareSteps::Job* HardwareSteps::job_of_current_fiber() const {
    Fiber* fiber = Fiber::current();
    if (!fiber || held(fiber))
        return nullptr;
    for (const auto& job : jobs_)
        if (job->fiber.get() == fiber)
            return job.get();
    return nullptr;
}

void HardwareSteps::start(Kind kind, std::function<void()> body, std::function<void()> done) {
    if (!stepping_) {
        try {
            body();
        } catch (...) {
            if (kind == Kind::Action)
                clear_action_end();
            if (done)
                done();
            throw;
        }
        if (kind == Kind::Action)
            clear_action_end();
        if (done)
            done();
        if (kind == Kind::Action)
            for (auto& then : std::exchange(after_action_, {}))
                then();
        return;
    }
    auto job = std::make_unique<Job>();
    job->kind = kind;
    job->fiber = std::make_unique<Fiber>(std::move(body));
    job->done = std::move(done);
    job->due_us = underneath_->now_us();
    jobs_.push_back(std::move(job));
    schedule();
}

HardwareSteps::Job* HardwareSteps::next_job() const {
    Job* next = nullptr;
    for (const auto& job : jobs_) {
        if (!job->waiting || job->fiber->running())
            continue;
        if (job->keeps_ports)
            return job.get();
        if (!next || job->due_us < next->due_us)
            next = job.get();
    }
    return next;
}

void HardwareSteps::schedule() {
    Job* next = stepping_ ? next_job() : nullptr;
    if (!next) {
        timer_->stop();
        return;
    }
    timer_->start(static_cast<int>(whole_ms_until(next->due_us, underneath_->now_us())));
}

// A timer may fire a little early: then it waits out the rest.
void HardwareSteps::timer_fired() {
    Job* next = next_job();
    if (!next)
        return;
    if (next->due_us > underneath_->now_us()) {
        schedule();
        return;
    }
    run_step(next);
}

void HardwareSteps::run_step(Job* job) {
    job->waiting = false;
    job->keeps_ports = false;
    job->started = true;
    try {
        job->fiber->resume();
    } catch (...) {
        finished(job, std::current_exception());
        return;
    }
    if (job->fiber->finished()) {
        finished(job, nullptr);
        return;
    }
    job->waiting = true;
    if (job->kind == Kind::Action && after_action_step)
        after_action_step();
    schedule();
}

void HardwareSteps::finished(Job* job, std::exception_ptr failure) {
    const Kind kind = job->kind;
    std::function<void()> done = std::move(job->done);
    auto it =
        std::find_if(jobs_.begin(), jobs_.end(), [job](const auto& j) { return j.get() == job; });
    jobs_.erase(it);
    if (kind == Kind::Action)
        clear_action_end();
    if (done)
        done();
    if (kind == Kind::Action && !busy(Kind::Action))
        for (auto& then : std::exchange(after_action_, {}))
            then();
    if (jobs_.empty())
        for (auto& then : std::exchange(after_all_, {}))
            then();
    schedule();
    if (!failure)
        return;
    if (!on_failure)
        std::rethrow_exception(failure);
    on_failure(failure);
}

// A job asked to end before its first step never touches the board.
void HardwareSteps::drop_unstarted(bool actions_only) {
    for (;;) {
        auto it = std::find_if(jobs_.begin(), jobs_.end(), [actions_only](const auto& j) {
            return !j->started && (!actions_only || j->kind == Kind::Action);
        });
        if (it == jobs_.end())
            return;
        finished(it->get(), nullptr);
    }
}

void HardwareSteps::end_all(std::function<void()> then) {
    if (jobs_.empty()) {
        if (then)
            then();
        return;
    }
    if (then)
        after_all_.push_back(std::move(then));
    end_action(nullptr);
    drop_unstarted(false);
}

bool HardwareSteps::busy(Kind kind) const {
    return std::any_of(jobs_.begin(), jobs_.end(),
                       [kind](const auto& j) { return j->kind == kind; });
}

// The running action ends at its next check after its current step; its wait is not cut.
void HardwareSteps::end_action(std::function<void()> then) {
    if (!busy(Kind::Action)) {
        if (then)
            then();
        return;
    }
    request_action_end();
    if (then)
        after_action_.push_back(std::move(then));
    drop_unstarted(true);
}

bool HardwareSteps::run_next_step() {
    Job* next = next_job();
    if (!next)
        return false;
    const int64_t wait = whole_ms_until(next->due_us, underneath_->now_us());
    if (wait > 0)
        underneath_->sleep_ms(static_cast<uint32_t>(wait));
    run_step(next);
    return true;
}

int64_t HardwareSteps::next_wait() const {
    const Job* next = next_job();
    return next ? whole_ms_until(next->due_us, underneath_->now_us()) : -1;
}
