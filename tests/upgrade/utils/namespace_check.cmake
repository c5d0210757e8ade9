# Checks that the upgrade component defines nothing outside namespace vu. Arguments:
#   NM         the nm program
#   LIBRARIES  the component's library files, joined with "|"
# Every symbol a library defines for others to link (nm's upper-case types) must belong to vu
# (its classes' vtables and type information included). Allowed besides: the functions of
# libcurl and libcrypto that the component defines itself to load those libraries on first use,
# and the registration functions of the Qt resource it embeds. Template instantiations and
# inline functions of other libraries (std::, Qt) are defined as weak symbols in every object
# that uses them; among those only a plain global function, which can only come from the
# component's own headers, is an error. The address checker's build (VELMORA_SANITIZE) adds an
# indicator "__odr_asan.<mangled name>" for each global variable; it stands for that variable.
# Its checks of dynamic types copy the type information of Qt's classes (QObjectData) as weak
# symbols; a class of the component is never named Q<Upper>.
string(REPLACE "|" ";" LIBRARIES "${LIBRARIES}")
set(allowed_c "^(curl_[a-z_]+|BIO_[A-Za-z_]+|EVP_[A-Za-z0-9_]+|PEM_[A-Za-z_]+)$")
set(allowed_qt "^q(Init|Cleanup)Resources_[A-Za-z0-9_]+\\(\\)$")
set(vu_prefix "^((typeinfo|typeinfo name|vtable|VTT|guard variable) for |(non-virtual|virtual) thunk to )?vu::")
set(failures "")
set(checked 0)
foreach(library IN LISTS LIBRARIES)
    execute_process(COMMAND ${NM} -C --defined-only --extern-only "${library}"
                    OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        list(APPEND failures "${NM} failed on ${library}: ${errors}")
        continue()
    endif()
    string(REPLACE ";" "\\;" listing "${listing}")
    string(REPLACE "\n" ";" lines "${listing}")
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "^[0-9a-f]+ ([A-Z]) (.*)$")
            continue()
        endif()
        set(type "${CMAKE_MATCH_1}")
        set(symbol "${CMAKE_MATCH_2}")
        math(EXPR checked "${checked} + 1")
        if(symbol MATCHES "^__odr_asan\\.(.*)$")
            set(symbol "${CMAKE_MATCH_1}")
            if(symbol MATCHES "^_ZN2vu")
                continue()
            endif()
        endif()
        if(symbol MATCHES "${vu_prefix}")
            continue()
        endif()
        if(type STREQUAL "W" OR type STREQUAL "V")
            # A weak symbol: wrong only when it is a plain global function or object of ours.
            if(symbol MATCHES "::" OR symbol MATCHES "^operator" OR symbol MATCHES "^DW\\.ref\\."
               OR symbol MATCHES "<" OR symbol MATCHES "^typeinfo (name )?for Q[A-Z][A-Za-z]*$")
                continue()
            endif()
        elseif(symbol MATCHES "${allowed_c}" OR symbol MATCHES "${allowed_qt}")
            continue()
        endif()
        get_filename_component(name "${library}" NAME)
        list(APPEND failures "${name}: ${symbol}")
    endforeach()
endforeach()
if(checked EQUAL 0)
    list(APPEND failures "no symbols found in ${LIBRARIES}")
endif()
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "defined outside namespace vu:\n  ${text}")
endif()
message(STATUS "namespace vu: ${checked} symbols checked")
