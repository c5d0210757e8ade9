// Letting go of what the system takes long to free (a large block of memory, the blocks of a
// removed large file) on Qt's global thread pool instead of the calling thread, whose event loop
// would stall meanwhile. The pool finishes its work before the application ends.
#pragma once

#include <functional>

namespace vu {

void ReleaseInBackground(std::function<void()> release);

} // namespace vu
