# What a Windows user downloads: build/dist/Quillet-<version>-win64.zip with
# Quillet.exe (the program as it ships), the language files in lang\, the
# help pages in help\, the licence as license.txt and the terms of the
# software by others inside the program as THIRD-PARTY-NOTICES.txt, side by
# side.
file(STRINGS ${CMAKE_SOURCE_DIR}/resources/version.h _version_line REGEX "define QUILLET_VERSION_TEXT ")
string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" QUILLET_DIST_VERSION "${_version_line}")
set(QUILLET_DIST_ZIP ${CMAKE_BINARY_DIR}/dist/Quillet-${QUILLET_DIST_VERSION}-win64.zip)
file(GLOB QUILLET_HELP_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/help/*)

find_package(Python3 COMPONENTS Interpreter)

# The notices name what is linked into Quillet.exe: SQLite when it is built
# from the fetched amalgamation, the mingw-w64 runtime and GCC's runtime
# libraries when the program is linked statically with them (their terms
# from Debian's copyright files of the cross compiler's packages), and the
# fallback icon font, whose licence the font's build step leaves in
# third_party/ (else Debian's copyright file of the font package).
set(QUILLET_NOTICES ${CMAKE_BINARY_DIR}/dist/THIRD-PARTY-NOTICES.txt)
set(_notices_args)
set(_notices_deps ${CMAKE_SOURCE_DIR}/tools/third_party_notices.py)
if(EXISTS ${CMAKE_BINARY_DIR}/deps/sqlite3/sqlite3.h AND TARGET sqlite3_static)
  get_target_property(_sqlite_type sqlite3_static TYPE)
  if(_sqlite_type STREQUAL "STATIC_LIBRARY")
    list(APPEND _notices_args --sqlite-header ${CMAKE_BINARY_DIR}/deps/sqlite3/sqlite3.h
                              --sqlite-package ${QUILLET_SQLITE_PKG})
    list(APPEND _notices_deps ${CMAKE_BINARY_DIR}/deps/sqlite3/sqlite3.h)
  endif()
endif()
if(MINGW OR CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(_mingw_copyright /usr/share/doc/mingw-w64-common/copyright)
  set(_gcc_copyright /usr/share/doc/gcc-mingw-w64-base/copyright)
  set(_gpl3 /usr/share/common-licenses/GPL-3)
  if(EXISTS ${_mingw_copyright} AND EXISTS ${_gcc_copyright} AND EXISTS ${_gpl3})
    list(APPEND _notices_args --compiler ${CMAKE_CXX_COMPILER} --mingw-copyright ${_mingw_copyright}
                              --gcc-copyright ${_gcc_copyright} --gpl3 ${_gpl3})
    list(APPEND _notices_deps ${_mingw_copyright} ${_gcc_copyright} ${_gpl3})
  else()
    message(WARNING "The mingw-w64 and GCC copyright files are missing: THIRD-PARTY-NOTICES.txt leaves them out")
  endif()
endif()
list(APPEND _notices_args
  --icon-font-licence ${CMAKE_BINARY_DIR}/third_party/icon-font-LICENSE.txt
  --icon-font-licence /usr/share/doc/fonts-material-design-icons-iconfont/copyright
  --icon-font-package "Debian's fonts-material-design-icons-iconfont 6.7.0"
  --apache /usr/share/common-licenses/Apache-2.0)

if(TARGET Quillet AND Python3_FOUND)
  # Made after the program, whose build leaves the icon font's licence.
  add_custom_command(OUTPUT ${QUILLET_NOTICES}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/third_party_notices.py --out ${QUILLET_NOTICES}
            ${_notices_args}
    DEPENDS Quillet $<TARGET_FILE:Quillet> ${_notices_deps}
    COMMENT "Writing ${QUILLET_NOTICES}"
    VERBATIM)
  add_custom_command(OUTPUT ${QUILLET_DIST_ZIP}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/dist_zip.py pack
            --exe $<TARGET_FILE:Quillet> --lang ${CMAKE_SOURCE_DIR}/resources/lang
            --help-dir ${CMAKE_SOURCE_DIR}/resources/help --license ${CMAKE_SOURCE_DIR}/LICENSE
            --notices ${QUILLET_NOTICES} --out ${QUILLET_DIST_ZIP}
    DEPENDS Quillet $<TARGET_FILE:Quillet> ${QUILLET_LANG_FILES} ${QUILLET_HELP_FILES} ${QUILLET_NOTICES}
            ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/tools/dist_zip.py
    COMMENT "Packing ${QUILLET_DIST_ZIP}"
    VERBATIM)
  add_custom_target(dist DEPENDS ${QUILLET_DIST_ZIP})
endif()
