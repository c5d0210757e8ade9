// Rules a fuzz program checks on every input. A broken rule names itself on standard error and
// aborts, which libFuzzer reports as a finding, keeping the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : ::vufuzz::Fail(#condition, __FILE__, __LINE__))

namespace vufuzz {

[[noreturn]] inline void Fail(const char* rule, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: rule broken: %s\n", file, line, rule);
    std::abort();
}

} // namespace vufuzz
