# A build of the project and its tests under one of GCC's run-time checkers (VELMORA_SANITIZE):
#   address  memory errors, leaks at exit and undefined behaviour, the whole suite
#   thread   data races, the tests of the code that runs threads (tests/CMakeLists.txt)
# scripts/sanitize configures, builds and runs it with the checkers' options and the suppressions
# of tests/sanitizers/, which name the libraries built without the checkers (Qt, libstdc++, ...).
#
# Only our own code is instrumented; what an uninstrumented library does is invisible to the
# checkers, which is why its reports are suppressed by its frames and never by ours.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    message(FATAL_ERROR "VELMORA_SANITIZE is built with GCC, whose checker libraries are installed")
endif()

if(VELMORA_SANITIZE STREQUAL "address")
    # Undefined behaviour is reported and goes on (scripts/sanitize makes the first one that is
    # not suppressed end the process): suppressions only apply to checks that can go on.
    set(velmora_sanitize_flags -fsanitize=address,undefined)
    # Tests run about twice as slowly.
    set(VELMORA_TEST_TIMEOUT_SCALE 3)
elseif(VELMORA_SANITIZE STREQUAL "thread")
    set(velmora_sanitize_flags -fsanitize=thread)
    # Tests run five to fifteen times as slowly.
    set(VELMORA_TEST_TIMEOUT_SCALE 5)
else()
    message(FATAL_ERROR "VELMORA_SANITIZE='${VELMORA_SANITIZE}': address or thread")
endif()

# -O1 keeps the reports' stacks close to the source and compiles faster than -O2.
add_compile_options(${velmora_sanitize_flags} -fno-omit-frame-pointer -O1)
add_link_options(${velmora_sanitize_flags})
