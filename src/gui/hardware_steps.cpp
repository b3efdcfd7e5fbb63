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
    QTimer* timer = nullptr;
    uint32_t wait_ms = 0;
    bool waiting = false;
};

// A wait inside a job's fiber ends the step; anywhere else it is the clock underneath's.
class HardwareSteps::SteppingClock : public Clock {
  public:
    explicit SteppingClock(HardwareSteps& owner) : owner_(owner) {}
    void sleep_ms(uint32_t ms) override {
        if (Job* job = owner_.job_of_current_fiber()) {
            job->wait_ms = ms;
            Fiber::yield();
            return;
        }
        owner_.underneath_->sleep_ms(ms);
    }
    void bus_wait_ms(uint32_t ms) override {
        owner_.underneath_->bus_wait_ms(ms);
        if (Job* job = owner_.job_of_current_fiber()) {
            job->wait_ms = 0;
            Fiber::yield();
        }
    }
    uint32_t now_ms() override { return owner_.underneath_->now_ms(); }

  private:
    HardwareSteps& owner_;
};

HardwareSteps::HardwareSteps() : clock_(std::make_unique<SteppingClock>(*this)) {
    underneath_ = &current_clock();
    install_clock(clock_.get());
}

HardwareSteps::~HardwareSteps() {
    if (!jobs_.empty())
        request_action_end();
    while (run_next_step()) {
    }
    clear_action_end();
    install_clock(underneath_ == clock_.get() ? nullptr : underneath_);
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
    job->timer = new QTimer(this);
    job->timer->setSingleShot(true);
    Job* raw = job.get();
    connect(job->timer, &QTimer::timeout, this, [this, raw] {
        raw->waiting = false;
        resume(raw);
    });
    jobs_.push_back(std::move(job));
    resume(raw);
}

void HardwareSteps::resume(Job* job) {
    job->wait_ms = 0;
    try {
        job->fiber->resume();
    } catch (...) {
        finished(job);
        throw;
    }
    if (job->fiber->finished()) {
        finished(job);
        return;
    }
    job->waiting = true;
    // An action asked to end need not sit out its pause: it ends at its next step.
    const bool cut = job->kind == Kind::Action && stop_pending();
    job->timer->start(static_cast<int>(cut ? 0 : job->wait_ms));
    if (job->kind == Kind::Action && after_action_step)
        after_action_step();
}

void HardwareSteps::finished(Job* job) {
    const Kind kind = job->kind;
    std::function<void()> done = std::move(job->done);
    auto it =
        std::find_if(jobs_.begin(), jobs_.end(), [job](const auto& j) { return j.get() == job; });
    job->timer->deleteLater();
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
}

bool HardwareSteps::busy(Kind kind) const {
    return std::any_of(jobs_.begin(), jobs_.end(),
                       [kind](const auto& j) { return j->kind == kind; });
}

void HardwareSteps::end_action(std::function<void()> then) {
    if (!busy(Kind::Action)) {
        if (then)
            then();
        return;
    }
    request_action_end();
    if (then)
        after_action_.push_back(std::move(then));
    for (const auto& job : jobs_)
        if (job->kind == Kind::Action && job->waiting)
            job->timer->start(0);
}

bool HardwareSteps::run_next_step() {
    for (const auto& job : jobs_) {
        if (!job->waiting || job->fiber->running())
            continue;
        Job* raw = job.get();
        raw->timer->stop();
        raw->waiting = false;
        const bool cut = raw->kind == Kind::Action && stop_pending();
        if (raw->wait_ms > 0 && !cut)
            underneath_->sleep_ms(raw->wait_ms);
        resume(raw);
        return true;
    }
    return false;
}

int64_t HardwareSteps::pending_wait(Kind kind) const {
    for (const auto& job : jobs_)
        if (job->kind == kind && job->waiting)
            return job->wait_ms;
    return -1;
}
