// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/fiber.h"

namespace {
constexpr SIZE_T kStackBytes = 2u << 20;
// Finished fibers kept for the next job: a sensor tick every second would otherwise create
// and delete a fiber with its stack each time.
constexpr size_t kPooledFibers = 4;
thread_local Fiber* running_fiber = nullptr;

// One system fiber that runs bodies one after the other: after a body it switches back to its
// caller and, resumed again, starts on the next body handed to it.
struct Carrier {
    LPVOID handle = nullptr;
    Fiber::Impl* impl = nullptr;
};
thread_local std::vector<Carrier*> spare_carriers;
thread_local size_t carriers_made = 0;
}  // namespace

struct Fiber::Impl {
    std::function<void()> body;
    Carrier* carrier = nullptr;
    LPVOID caller = nullptr;
    bool started = false;
    bool done = false;
    bool active = false;
    Fiber* resumed_from = nullptr;
    std::exception_ptr failure;

    static void WINAPI entry(LPVOID parameter) {
        Carrier* carrier = static_cast<Carrier*>(parameter);
        for (;;) {
            Impl* self = carrier->impl;
            try {
                self->body();
            } catch (...) {
                self->failure = std::current_exception();
            }
            self->done = true;
            SwitchToFiber(self->caller);
        }
    }
};

Fiber::Fiber(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
    impl_->body = std::move(body);
    if (!spare_carriers.empty()) {
        impl_->carrier = spare_carriers.back();
        spare_carriers.pop_back();
    } else {
        auto carrier = std::make_unique<Carrier>();
        carrier->handle = CreateFiber(kStackBytes, &Impl::entry, carrier.get());
        if (!carrier->handle)
            throw std::runtime_error("no memory for a fiber stack");
        impl_->carrier = carrier.release();
        ++carriers_made;
    }
    impl_->carrier->impl = impl_.get();
}

// A carrier left in the middle of a body cannot run another; one between bodies can.
Fiber::~Fiber() {
    Carrier* carrier = impl_->carrier;
    const bool between_bodies = !impl_->started || impl_->done;
    if (between_bodies && spare_carriers.size() < kPooledFibers) {
        carrier->impl = nullptr;
        spare_carriers.push_back(carrier);
        return;
    }
    DeleteFiber(carrier->handle);
    delete carrier;
}

void Fiber::resume() {
    Impl& f = *impl_;
    if (f.done || f.active)
        return;
    // The thread's own stack must be a fiber too before it can switch to one.
    if (!IsThreadAFiber())
        ConvertThreadToFiber(nullptr);
        // GetCurrentFiber reads the thread block at fs:0x10; GCC takes the segment read for an
        // access to address 0x10 and warns of bounds that do not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    f.caller = GetCurrentFiber();
#pragma GCC diagnostic pop
    f.started = true;
    f.active = true;
    f.resumed_from = running_fiber;
    running_fiber = this;
    SwitchToFiber(f.carrier->handle);
    running_fiber = f.resumed_from;
    f.active = false;
    if (f.done && f.failure)
        std::rethrow_exception(std::exchange(f.failure, nullptr));
}

bool Fiber::finished() const {
    return impl_->done;
}

bool Fiber::running() const {
    return impl_->active;
}

void Fiber::yield() {
    if (Fiber* self = running_fiber)
        SwitchToFiber(self->impl_->caller);
}

Fiber* Fiber::current() {
    return running_fiber;
}

size_t Fiber::stacks_made() {
    return carriers_made;
}
