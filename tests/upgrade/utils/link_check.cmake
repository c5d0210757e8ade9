# Checks what libraries link and what their sources include. Arguments, lists joined with "|"
# (a ";" would split the argument on the test's command line):
#   NAME                what is checked, for the messages
#   LINKED              everything the libraries link, directly or through other libraries
#   FORBIDDEN_LIBRARIES a regular expression no entry of LINKED may match
#   OBJECT_DIRS         optional: object folders whose compiler dependency files (*.o.d) list every
#                       header each source included
#   FORBIDDEN_HEADERS   with OBJECT_DIRS: a regular expression no included header may match
string(REPLACE "|" ";" LINKED "${LINKED}")
string(REPLACE "|" ";" OBJECT_DIRS "${OBJECT_DIRS}")
set(failures "")
foreach(library IN LISTS LINKED)
    if(library MATCHES "${FORBIDDEN_LIBRARIES}")
        list(APPEND failures "links ${library}")
    endif()
endforeach()
set(checked 0)
if(OBJECT_DIRS)
    foreach(dir IN LISTS OBJECT_DIRS)
        file(GLOB_RECURSE dependency_files "${dir}/*.o.d")
        foreach(file IN LISTS dependency_files)
            math(EXPR checked "${checked} + 1")
            file(STRINGS "${file}" lines REGEX "${FORBIDDEN_HEADERS}")
            if(lines)
                list(APPEND failures "${file} includes ${lines}")
            endif()
        endforeach()
    endforeach()
    if(checked EQUAL 0)
        list(APPEND failures "no compiler dependency files found in ${OBJECT_DIRS}")
    endif()
endif()
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "${NAME}:\n  ${text}")
endif()
message(STATUS "${NAME}: ${checked} objects checked; linked: ${LINKED}")
