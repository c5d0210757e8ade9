# How every test is registered with CTest: each case of a test executable becomes a test of its
# own, named "<folder>/<Suite>.<case>" after its folder under tests/ and labelled with that folder,
# so that `ctest -R <case>` runs one case and `ctest -L http` one folder.
#
#   velmora_add_test(<target> [QTEST] [TIMEOUT <seconds>] [ENVIRONMENT <VAR=value>...])
#       GoogleTest executables (the default) are listed with --gtest_list_tests, Qt Test
#       executables (QTEST) with -datatags; both are listed when CTest starts, after the build,
#       so the list always matches the executable.
#   velmora_add_command_test(<name> COMMAND <command>... [TIMEOUT <seconds>]
#                            [ENVIRONMENT <VAR=value>...])
#       A test that runs a command (a shell script, a program run as a user would), registered
#       as one test "<folder>/<name>".
#
# Every test runs, and every executable is listed, with QT_QPA_PLATFORM=offscreen, so that the
# suite needs no display. Cases run as separate processes, in any order and side by side.
# Under a run-time checker (cmake/Sanitizers.cmake) every time limit is VELMORA_TEST_TIMEOUT_SCALE
# times as long.

include(GoogleTest)

set(VELMORA_TESTS_ROOT ${PROJECT_SOURCE_DIR}/tests)
set(VELMORA_QTEST_DISCOVERY_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/VelmoraQtTestDiscovery.cmake)
if(NOT VELMORA_TEST_TIMEOUT_SCALE)
    set(VELMORA_TEST_TIMEOUT_SCALE 1)
endif()

# A test's time limit in seconds: `seconds`, or 120, times the checker's scale.
function(_velmora_test_timeout out seconds)
    if(NOT seconds)
        set(seconds 120)
    endif()
    math(EXPR seconds "${seconds} * ${VELMORA_TEST_TIMEOUT_SCALE}")
    set(${out} ${seconds} PARENT_SCOPE)
endfunction()

# The label and name prefix of the tests defined in the current folder.
function(_velmora_test_folder out)
    file(RELATIVE_PATH folder ${VELMORA_TESTS_ROOT} ${CMAKE_CURRENT_SOURCE_DIR})
    set(${out} ${folder} PARENT_SCOPE)
endfunction()

function(velmora_add_test target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "QTEST" "TIMEOUT" "ENVIRONMENT")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "velmora_add_test: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
    endif()
    _velmora_test_timeout(arg_TIMEOUT "${arg_TIMEOUT}")
    _velmora_test_folder(folder)
    set(environment QT_QPA_PLATFORM=offscreen ${arg_ENVIRONMENT})

    if(NOT arg_QTEST)
        # The environment goes on the command line through env(1): listing runs the executable
        # before any test does and must not need a display either, and gtest_discover_tests
        # splits an ENVIRONMENT property of more than one variable into wrong pairs.
        set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR env ${environment})
        _velmora_test_timeout(discovery_timeout 120)
        gtest_discover_tests(${target}
            TEST_PREFIX ${folder}/
            DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT ${discovery_timeout}
            PROPERTIES LABELS ${folder} TIMEOUT ${arg_TIMEOUT})
        return()
    endif()

    # Qt Test has no CMake discovery of its own: the same scheme as above, with the test
    # functions as the cases. The listing writes one add_test() per function and the names into
    # velmora_listed_tests; their properties are set here.
    set(tests_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_qtests.cmake)
    set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_qtests_include.cmake)
    string(CONCAT include_content
        "if(EXISTS \"$<TARGET_FILE:${target}>\")\n"
        "  if(NOT EXISTS \"${tests_file}\" OR\n"
        "     NOT \"${tests_file}\" IS_NEWER_THAN \"$<TARGET_FILE:${target}>\" OR\n"
        "     NOT \"${tests_file}\" IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\")\n"
        "    execute_process(COMMAND \"${CMAKE_COMMAND}\"\n"
        "      \"-DTEST_EXECUTABLE=$<TARGET_FILE:${target}>\"\n"
        "      \"-DTEST_PREFIX=${folder}/\"\n"
        "      \"-DTESTS_FILE=${tests_file}\"\n"
        "      -P \"${VELMORA_QTEST_DISCOVERY_SCRIPT}\"\n"
        "      RESULT_VARIABLE listed)\n"
        "    if(NOT listed EQUAL 0)\n"
        "      message(FATAL_ERROR \"Could not list the tests of ${target}\")\n"
        "    endif()\n"
        "  endif()\n"
        "  set(velmora_listed_tests)\n"
        "  include(\"${tests_file}\")\n"
        "  set_tests_properties(\${velmora_listed_tests} PROPERTIES\n"
        "    LABELS [==[${folder}]==] TIMEOUT ${arg_TIMEOUT}\n"
        "    ENVIRONMENT [==[${environment}]==])\n"
        "else()\n"
        "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
        "endif()\n")
    file(GENERATE OUTPUT ${include_file} CONTENT "${include_content}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()

function(velmora_add_command_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "COMMAND;ENVIRONMENT")
    if(arg_UNPARSED_ARGUMENTS OR NOT arg_COMMAND)
        message(FATAL_ERROR "velmora_add_command_test: needs COMMAND, got ${ARGN}")
    endif()
    _velmora_test_timeout(arg_TIMEOUT "${arg_TIMEOUT}")
    _velmora_test_folder(folder)
    add_test(NAME ${folder}/${name} COMMAND ${arg_COMMAND})
    set_tests_properties(${folder}/${name} PROPERTIES LABELS ${folder} TIMEOUT ${arg_TIMEOUT})
    if(arg_ENVIRONMENT)
        set_tests_properties(${folder}/${name} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
    endif()
endfunction()
