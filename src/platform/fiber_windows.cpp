// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <exception>
#include <stdexcept>
#include <utility>

#include "platform/fiber.h"

namespace {
constexpr SIZE_T kStackBytes = 2u << 20;
thread_local Fiber* running_fiber = nullptr;
}  // namespace

struct Fiber::Impl {
    std::function<void()> body;
    LPVOID handle = nullptr;
    LPVOID caller = nullptr;
    bool done = false;
    bool active = false;
    Fiber* resumed_from = nullptr;
    std::exception_ptr failure;

    static void WINAPI entry(LPVOID parameter) {
        Impl* self = static_cast<Impl*>(parameter);
        try {
            self->body();
        } catch (...) {
            self->failure = std::current_exception();
        }
        self->done = true;
        SwitchToFiber(self->caller);
    }
};

Fiber::Fiber(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
    impl_->body = std::move(body);
    impl_->handle = CreateFiber(kStackBytes, &Impl::entry, impl_.get());
    if (!impl_->handle)
        throw std::runtime_error("no memory for a fiber stack");
}

Fiber::~Fiber() {
    if (impl_->handle)
        DeleteFiber(impl_->handle);
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
    f.active = true;
    f.resumed_from = running_fiber;
    running_fiber = this;
    SwitchToFiber(f.handle);
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
