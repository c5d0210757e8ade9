// Hand-overs between threads through Qt's event queue (posted events, queued and blocking
// QMetaObject::invokeMethod calls), made known to the thread checker of the test builds
// (ThreadSanitizer). Qt is built without the checker, so the locks of its queue are invisible to
// it: what one thread wrote before queuing a call and the receiving thread reads would look
// unsynchronised. The sending thread queues the call through QueueThroughQt(key, ...), the
// receiving one calls TakeOverThroughQt(key) before it reads anything of the sender's; the key is
// any address both name (the receiver).
// Nothing at all in other builds.
#pragma once

#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace vu::detail {

// Sending thread: runs `queue`, which queues the call (QMetaObject::invokeMethod), after handing
// over everything this thread wrote before. The object that carries the call is built by Qt's
// inline code inside `queue`, read on the receiving thread and freed by whichever thread drops
// it last, all through Qt's queue: this thread's accesses to it are not recorded while it is
// built. So the receiving call must take its key from what it carries by value, and read the
// sender's data (captured by reference) only after TakeOverThroughQt.
template <typename Queue> void QueueThroughQt([[maybe_unused]] const void* key, Queue&& queue) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(key));
    struct Ignore {
        Ignore() { __tsan_ignore_thread_begin(); }
        ~Ignore() { __tsan_ignore_thread_end(); }
        Ignore(const Ignore&) = delete;
        Ignore& operator=(const Ignore&) = delete;
    } ignore;
#endif
    std::forward<Queue>(queue)();
}

inline void TakeOverThroughQt([[maybe_unused]] const void* key) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(key));
#endif
}

} // namespace vu::detail
