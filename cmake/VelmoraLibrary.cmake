# How a library of the project is declared, so that every library exports the same include root:
# the project's, from which includes spell their path ("upgrade/http/vuHTTP.h").
#
#   velmora_add_library(<name> SOURCES <file>... [PUBLIC <library>...] [PRIVATE <library>...]
#                       [PLAIN])
#       A static library of those sources that links the PUBLIC and PRIVATE libraries. PLAIN:
#       code without Qt's generated sources (neither moc, rcc nor uic runs on it).

function(velmora_add_library name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "PLAIN" "" "SOURCES;PUBLIC;PRIVATE")
    if(arg_UNPARSED_ARGUMENTS OR NOT arg_SOURCES)
        message(FATAL_ERROR "velmora_add_library(${name}): SOURCES missing or unknown "
                            "arguments '${arg_UNPARSED_ARGUMENTS}'")
    endif()
    add_library(${name} STATIC ${arg_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    foreach(scope PUBLIC PRIVATE)
        if(arg_${scope})
            target_link_libraries(${name} ${scope} ${arg_${scope}})
        endif()
    endforeach()
    if(arg_PLAIN)
        set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTORCC OFF AUTOUIC OFF)
    endif()
endfunction()
