# What a Windows user downloads: build/dist/Quillet-<version>-win64.zip with
# Quillet.exe (the program as it ships), the language files in lang\, the
# help pages in help\ and the licence as license.txt, side by side.
file(STRINGS ${CMAKE_SOURCE_DIR}/resources/version.h _version_line REGEX "define QUILLET_VERSION_TEXT ")
string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" QUILLET_DIST_VERSION "${_version_line}")
set(QUILLET_DIST_ZIP ${CMAKE_BINARY_DIR}/dist/Quillet-${QUILLET_DIST_VERSION}-win64.zip)
file(GLOB QUILLET_HELP_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/help/*)

find_package(Python3 COMPONENTS Interpreter)
if(TARGET Quillet AND Python3_FOUND)
  add_custom_command(OUTPUT ${QUILLET_DIST_ZIP}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/dist_zip.py pack
            --exe $<TARGET_FILE:Quillet> --lang ${CMAKE_SOURCE_DIR}/resources/lang
            --help-dir ${CMAKE_SOURCE_DIR}/resources/help --license ${CMAKE_SOURCE_DIR}/LICENSE
            --out ${QUILLET_DIST_ZIP}
    DEPENDS Quillet $<TARGET_FILE:Quillet> ${QUILLET_LANG_FILES} ${QUILLET_HELP_FILES}
            ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/tools/dist_zip.py
    COMMENT "Packing ${QUILLET_DIST_ZIP}"
    VERBATIM)
  add_custom_target(dist DEPENDS ${QUILLET_DIST_ZIP})
endif()
