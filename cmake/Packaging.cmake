# What is installed besides the program and its desktop files, and the Debian package
# (`cpack -G DEB` in the build folder).

# Documents are installed gzip-compressed at the highest level and without a time stamp, as
# Debian ships them: docs/<name>.in is filled in and compressed into <name>.gz.
set(VELMORA_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/velmora)
set(velmora_compressed_docs "")
function(velmora_compressed_doc name destination)
    configure_file(${PROJECT_SOURCE_DIR}/docs/${name}.in ${PROJECT_BINARY_DIR}/${name} @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${name}.gz
        COMMAND gzip -9nc ${name} > ${name}.gz
        DEPENDS ${PROJECT_BINARY_DIR}/${name}
        WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
        VERBATIM)
    install(FILES ${PROJECT_BINARY_DIR}/${name}.gz DESTINATION ${destination})
    set(velmora_compressed_docs ${velmora_compressed_docs} ${PROJECT_BINARY_DIR}/${name}.gz
        PARENT_SCOPE)
endfunction()

velmora_compressed_doc(velmora.1 ${CMAKE_INSTALL_MANDIR}/man1)
if(VELMORA_UPDATER)
    velmora_compressed_doc(velmora-release.1 ${CMAKE_INSTALL_MANDIR}/man1)
endif()
# The changelog's date in the form Debian's changelog uses.
execute_process(COMMAND date -u -R -d "${VELMORA_RELEASE_DATE}"
    OUTPUT_VARIABLE VELMORA_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
velmora_compressed_doc(changelog ${VELMORA_DOC_DIR})
add_custom_target(velmora_docs ALL DEPENDS ${velmora_compressed_docs})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${VELMORA_DOC_DIR})
# Debian's place for the licence of a package.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${VELMORA_DOC_DIR} RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <developers@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "classify Chinese characters by concept")
# Debian wants the lines of the long description within 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Type one Chinese character and walk a five-level concept taxonomy in five
cascading lists to get its concept code, Cangjie input code and the concept's
description. Reports collect in a memo that can be saved as a Big5 text file.
A command line prints the same reports without a window.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://velmora.example")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
# The shared libraries' packages come from dpkg-shlibdeps; Qt's platform plugins, the browser
# hand-off and a font with the program's characters are needed at run time besides.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils, fonts-arphic-uming | fonts-noto-cjk")
# libcurl and libcrypto come from dpkg-shlibdeps too; an option the transfer sets
# (CURLOPT_PROTOCOLS_STR) needs libcurl 7.85, which no symbol tells.
if(VELMORA_UPDATER)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libcurl4 (>= 7.85)")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
include(CPack)
