// Hand-overs between threads through Qt's event queue, made known to the thread checker of the
// test builds (ThreadSanitizer). Qt is built without the checker, so the lock of its queue is
// invisible to it: an object one thread posts and the receiving thread reads would look
// unsynchronised. Posting thread: HandOverThroughQt(object) before posting; receiving thread:
// TakeOverThroughQt(object) before reading it. Nothing at all in other builds.
#pragma once

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace vu::detail {

inline void HandOverThroughQt([[maybe_unused]] const void* object) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(object));
#endif
}

inline void TakeOverThroughQt([[maybe_unused]] const void* object) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(object));
#endif
}

} // namespace vu::detail
