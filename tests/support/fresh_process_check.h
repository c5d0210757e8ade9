// Checks that need a process nothing has touched yet, such as a library opened on first use:
// each runs as a death test (EXPECT_EXIT), in a fresh run of the test program, and ends it
// through FinishCheck. Programs of such checks link velmora_gtest_fresh_process_main, which
// starts every death test as a new run of the program ("threadsafe" style).
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vutest {

// Ends the check's process with status 0 when the check held, with a message and 1 otherwise.
[[noreturn]] inline void FinishCheck(bool held, const char* what) {
    if (!held)
        std::fprintf(stderr, "failed: %s\n", what);
    std::exit(held ? 0 : 1);
}

} // namespace vutest
