# The fuzz build (VELMORA_FUZZ=ON): the libraries that read outside input, compiled with clang for
# coverage-guided fuzzing under the address and undefined-behaviour checkers, and one libFuzzer
# program per reader (tests/fuzz). Nothing else of the project is configured here, so that the
# build stays small; scripts/fuzz configures, builds and runs it.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELMORA_FUZZ needs clang (CXX=clang++): libFuzzer is part of clang")
endif()

add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

add_subdirectory(big5)
add_subdirectory(concepts)
add_subdirectory(upgrade/replacer)
add_subdirectory(upgrade/utils)
add_subdirectory(upgrade/signing)
add_subdirectory(upgrade/http)
add_subdirectory(upgrade/updater)
add_subdirectory(tests/fuzz)
