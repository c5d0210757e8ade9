// Hand-overs between threads through Qt's event queue (posted events, queued and blocking
// QMetaObject::invokeMethod calls), made known to the thread checker of the test builds
// (ThreadSanitizer). Qt is built without the checker, so the locks of its queue are invisible to
// it: what one thread wrote before queuing a call and the receiving thread reads would look
// unsynchronised. The sending thread calls HandOverThroughQt(key) before queuing, the receiving
// one TakeOverThroughQt(key) before reading; the key is any address both name (the receiver).
// Nothing at all in other builds.
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
