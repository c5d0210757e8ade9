# Checks that libraries meant to need Qt Core only neither link Qt Gui or Qt Widgets nor compile
# any of their headers. Arguments:
#   LINKED      everything the libraries link, directly or through other libraries
#   OBJECT_DIRS the object folders of the libraries, whose compiler dependency files (*.o.d) list
#               every header each source included
# Both lists come joined with "|".
string(REPLACE "|" ";" LINKED "${LINKED}")
string(REPLACE "|" ";" OBJECT_DIRS "${OBJECT_DIRS}")
set(failures "")
foreach(library IN LISTS LINKED)
    if(library MATCHES "^Qt[0-9]*::(Gui|Widgets)$")
        list(APPEND failures "links ${library}")
    endif()
endforeach()
set(checked 0)
foreach(dir IN LISTS OBJECT_DIRS)
    file(GLOB_RECURSE dependency_files "${dir}/*.o.d")
    foreach(file IN LISTS dependency_files)
        math(EXPR checked "${checked} + 1")
        file(STRINGS "${file}" lines REGEX "/Qt(Gui|Widgets)/")
        if(lines)
            list(APPEND failures "${file} includes Qt Gui or Qt Widgets headers")
        endif()
    endforeach()
endforeach()
if(checked EQUAL 0)
    list(APPEND failures "no compiler dependency files found in ${OBJECT_DIRS}")
endif()
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "Core-only libraries:\n  ${text}")
endif()
message(STATUS "Core-only libraries: ${checked} objects checked; linked: ${LINKED}")
