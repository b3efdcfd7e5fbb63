// SPDX-License-Identifier: GPL-2.0-or-later
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/fiber.h"

// AddressSanitizer must be told about every switch of stacks, or it takes the other stack's
// frames for overflows.
#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_ASAN_FIBERS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_ASAN_FIBERS 1
#endif
#endif
#ifdef VELMORA_ASAN_FIBERS
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace {
// Enough for the hardware code and a message box's event loop on top of it; only the pages
// touched are ever backed by memory. The lowest page stays unmapped, so an overflow faults.
#ifdef VELMORA_ASAN_FIBERS
constexpr size_t kStackBytes = 8u << 20;
#else
constexpr size_t kStackBytes = 2u << 20;
#endif
thread_local Fiber* running_fiber = nullptr;

// Stacks of ended fibers, kept for the next: a sensor tick every second would otherwise map and
// unmap a stack each time. A stack is only ever used by one fiber at a time.
constexpr size_t kPooledStacks = 4;
struct SpareStacks {
    std::vector<void*> stacks;
    size_t bytes = 0;
    size_t made = 0;
    ~SpareStacks() {
        for (void* stack : stacks)
            munmap(stack, bytes);
    }
};
thread_local SpareStacks spare;
}  // namespace

struct Fiber::Impl {
    std::function<void()> body;
    ucontext_t context{};
    ucontext_t caller{};
    void* stack = nullptr;
    size_t stack_bytes = 0;
    size_t guard = 0;
    bool started = false;
    bool done = false;
    bool active = false;
    Fiber* resumed_from = nullptr;
    std::exception_ptr failure;
#ifdef VELMORA_ASAN_FIBERS
    void* fake_stack = nullptr;
    const void* caller_bottom = nullptr;
    size_t caller_size = 0;
#endif

    static void entry(unsigned high, unsigned low);
    void leave_to_caller(bool dying);
};

void Fiber::Impl::leave_to_caller(bool dying) {
#ifdef VELMORA_ASAN_FIBERS
    __sanitizer_start_switch_fiber(dying ? nullptr : &fake_stack, caller_bottom, caller_size);
#else
    (void)dying;
#endif
    swapcontext(&context, &caller);
#ifdef VELMORA_ASAN_FIBERS
    __sanitizer_finish_switch_fiber(fake_stack, &caller_bottom, &caller_size);
#endif
}

void Fiber::Impl::entry(unsigned high, unsigned low) {
    const uintptr_t address =
        (static_cast<uintptr_t>(high) << 16 << 16) | static_cast<uintptr_t>(low);
    Impl* self = reinterpret_cast<Impl*>(address);
#ifdef VELMORA_ASAN_FIBERS
    __sanitizer_finish_switch_fiber(nullptr, &self->caller_bottom, &self->caller_size);
#endif
    try {
        self->body();
    } catch (...) {
        self->failure = std::current_exception();
    }
    self->done = true;
    self->leave_to_caller(true);
}

Fiber::Fiber(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
    impl_->body = std::move(body);
    impl_->guard = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    impl_->stack_bytes = kStackBytes + impl_->guard;
    if (!spare.stacks.empty()) {
        impl_->stack = spare.stacks.back();
        spare.stacks.pop_back();
#ifdef VELMORA_ASAN_FIBERS
        // The frames of the fiber that used it last are gone.
        __asan_unpoison_memory_region(static_cast<char*>(impl_->stack) + impl_->guard, kStackBytes);
#endif
        return;
    }
    void* memory = mmap(nullptr, impl_->stack_bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED)
        throw std::runtime_error("no memory for a fiber stack");
    mprotect(memory, impl_->guard, PROT_NONE);
    impl_->stack = memory;
    ++spare.made;
}

Fiber::~Fiber() {
    if (!impl_->stack)
        return;
    if (spare.stacks.size() < kPooledStacks) {
        spare.bytes = impl_->stack_bytes;
        spare.stacks.push_back(impl_->stack);
        return;
    }
    munmap(impl_->stack, impl_->stack_bytes);
}

void Fiber::resume() {
    Impl& f = *impl_;
    if (f.done || f.active)
        return;
    if (!f.started) {
        getcontext(&f.context);
        f.context.uc_stack.ss_sp = static_cast<char*>(f.stack) + f.guard;
        f.context.uc_stack.ss_size = kStackBytes;
        f.context.uc_link = nullptr;
        const auto address = reinterpret_cast<uintptr_t>(&f);
        makecontext(&f.context, reinterpret_cast<void (*)()>(&Impl::entry), 2,
                    static_cast<unsigned>(address >> 16 >> 16),
                    static_cast<unsigned>(address & 0xFFFFFFFFu));
        f.started = true;
    }
    f.active = true;
    f.resumed_from = running_fiber;
    running_fiber = this;
#ifdef VELMORA_ASAN_FIBERS
    void* fake = nullptr;
    __sanitizer_start_switch_fiber(&fake, static_cast<char*>(f.stack) + f.guard, kStackBytes);
#endif
    swapcontext(&f.caller, &f.context);
#ifdef VELMORA_ASAN_FIBERS
    __sanitizer_finish_switch_fiber(fake, nullptr, nullptr);
#endif
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
    Fiber* self = running_fiber;
    if (!self)
        return;
    self->impl_->leave_to_caller(false);
}

Fiber* Fiber::current() {
    return running_fiber;
}

size_t Fiber::stacks_made() {
    return spare.made;
}
