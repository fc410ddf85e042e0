// Under ThreadSanitizer, every child a test starts through QProcess is made
// as a real copy of the test process rather than a vfork-style child that
// shares its memory.
//
// QProcess starts its children with clone(CLONE_VM | CLONE_VFORK). The
// sanitizer's clone interceptor then runs its after-fork bookkeeping in the
// child, and with CLONE_VM that child writes the parent's own sanitizer state:
// from a single-threaded parent the calling thread's mutex operations go
// unseen from then on (races are reported on data that is always locked), and
// from a multi-threaded one the sanitizer stops reporting anything on that
// thread. Without CLONE_VM the bookkeeping lands in the child's own copy and
// the parent stays fully watched; CLONE_VFORK still holds the parent until the
// child has started the program, so QProcess sees the same order of events.
#if defined(__SANITIZE_THREAD__)
#define VORN_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VORN_TSAN 1
#endif
#endif

#ifdef VORN_TSAN
#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

// The definition in the test program comes before the sanitizer's and the C
// library's for every caller, Qt included; the next one is the sanitizer's.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
    // The optional arguments are passed on as they came, as the C library
    // reads them: parent's thread id (or pidfd), thread storage, child's id.
    va_list optional;
    va_start(optional, arg);
    auto* parentTid = va_arg(optional, pid_t*);
    auto* tls = va_arg(optional, void*);
    auto* childTid = va_arg(optional, pid_t*);
    va_end(optional);

    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const auto next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    if ((flags & CLONE_VM) && (flags & CLONE_VFORK))
        flags &= ~CLONE_VM;
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
#endif
