#pragma once

// A callable handed to another thread through Qt's queues: a task for the
// thread pool, or a call queued back to the window's thread. Qt orders such
// a hand-over with locks inside Qt itself, which is not built with
// ThreadSanitizer, so under the sanitizer the callable's captures look
// written on one thread and read on the other with nothing in between, and
// it reports a race now and then. There this wrapper states the order the
// queue gives: all that was done before the hand-over happens before the call
// and before the callable's end. Elsewhere handedOver() returns the callable.
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define VORN_HANDED_OVER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VORN_HANDED_OVER_TSAN 1
#endif
#endif

#ifdef VORN_HANDED_OVER_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace vorn {

#ifdef VORN_HANDED_OVER_TSAN

template <typename F> class HandedOver {
public:
    explicit HandedOver(F f) : f_(std::move(f)) { __tsan_release(this); }
    HandedOver(HandedOver&& other) : f_(std::move(other.received())) { __tsan_release(this); }
    HandedOver(const HandedOver& other) : f_(const_cast<HandedOver&>(other).received()) {
        __tsan_release(this);
    }
    HandedOver& operator=(const HandedOver&) = delete;
    ~HandedOver() { __tsan_acquire(this); }

    decltype(auto) operator()() { return received()(); }

private:
    F& received() {
        __tsan_acquire(this);
        return f_;
    }

    F f_;
};

template <typename F> HandedOver<F> handedOver(F f) {
    return HandedOver<F>(std::move(f));
}

#else

template <typename F> F handedOver(F f) {
    return f;
}

#endif

} // namespace vorn
