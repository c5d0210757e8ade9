# Run by CTest (cmake -P) before the tests: lists the test functions of a Qt Test executable and
# writes one add_test() per function into TESTS_FILE, each running that function alone, and
# their names into the list velmora_listed_tests.
#
#   -DTEST_EXECUTABLE=<path> -DTEST_PREFIX=<name prefix> -DTESTS_FILE=<path>

cmake_minimum_required(VERSION 3.25)

set(ENV{QT_QPA_PLATFORM} offscreen)
# -datatags prints "<class> <function>" or, for data-driven functions, "<class> <function> <tag>"
# once per row; the data functions run, the tests do not.
execute_process(COMMAND "${TEST_EXECUTABLE}" -datatags
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    RESULT_VARIABLE result
    TIMEOUT 120)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TEST_EXECUTABLE} -datatags failed (${result}):\n${output}${errors}")
endif()

string(REPLACE ";" "" output "${output}")
string(REPLACE "\n" ";" lines "${output}")
set(script "")
set(seen "")
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^([A-Za-z_:][A-Za-z0-9_:]*) ([A-Za-z_][A-Za-z0-9_]*)( |$)")
        continue()
    endif()
    set(name "${TEST_PREFIX}${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
    set(function "${CMAKE_MATCH_2}")
    if(name IN_LIST seen)
        continue()
    endif()
    list(APPEND seen "${name}")
    string(APPEND script
        "add_test([==[${name}]==] [==[${TEST_EXECUTABLE}]==] ${function})\n"
        "list(APPEND velmora_listed_tests [==[${name}]==])\n")
endforeach()
if(NOT seen)
    message(FATAL_ERROR "${TEST_EXECUTABLE} lists no test functions:\n${output}")
endif()
file(WRITE "${TESTS_FILE}" "${script}")
