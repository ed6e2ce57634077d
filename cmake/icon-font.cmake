# The fallback icon font "Quillet Icons", drawn where "Segoe MDL2 Assets" is
# not installed. Made at build time by tools/make_icon_font.py from Material
# Icons (Apache-2.0) out of a pinned Debian package checked by its SHA-256;
# nothing of it is kept in the source tree. The program carries it as a
# resource (resources/quillet.rc); its licence text is written to
# third_party/icon-font-LICENSE.txt in the build folder.
set(QUILLET_ICON_FONT_PKG "fonts-material-design-icons-iconfont")
set(QUILLET_ICON_FONT_VERSION "6.7.0+dfsg-1")
set(QUILLET_ICON_FONT_DEB "fonts-material-design-icons-iconfont_6.7.0+dfsg-1_all.deb")
set(QUILLET_ICON_FONT_SHA256 "a2abd7168a460fb6063be4175e06fd7c48b1eef68433a608726408053d84e085")
set(_icon_src ${CMAKE_BINARY_DIR}/deps/icon-font)
# Where apt-get is not at hand (a build on Windows): the package fetched
# beforehand, checked by the same hash.
set(QUILLET_ICON_FONT_LOCAL_DEB "" CACHE FILEPATH "A copy of ${QUILLET_ICON_FONT_DEB} to use instead of apt-get")
# The Apache License's text, as Debian's base-files ship it (the same bytes
# as https://www.apache.org/licenses/LICENSE-2.0.txt).
set(QUILLET_APACHE_LICENSE "/usr/share/common-licenses/Apache-2.0" CACHE FILEPATH "The text of the Apache License 2.0")
set(QUILLET_APACHE_LICENSE_SHA256 "cfc7749b96f63bd31c3c42b5c471bf756814053e847c10f3eb003417bc523d30")

if(NOT EXISTS ${_icon_src}/MaterialIcons-Regular.ttf OR NOT EXISTS ${_icon_src}/_variables.scss
   OR NOT EXISTS ${_icon_src}/copyright)
  message(STATUS "Fetching Material Icons from ${QUILLET_ICON_FONT_DEB}")
  execute_process(
    COMMAND ${CMAKE_COMMAND}
      -DPKG=${QUILLET_ICON_FONT_PKG} -DVERSION=${QUILLET_ICON_FONT_VERSION}
      -DFILE=${QUILLET_ICON_FONT_DEB} -DSHA256_HEX=${QUILLET_ICON_FONT_SHA256}
      -DDEST=${CMAKE_BINARY_DIR}/deps -DLOCAL=${QUILLET_ICON_FONT_LOCAL_DEB}
      -P ${CMAKE_CURRENT_LIST_DIR}/fetch-icon-font.cmake
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "Could not fetch the icon font (${_rc})")
  endif()
endif()

# Debian's fontTools is a module of the system's interpreter, which may not
# be the first python3 on the PATH.
find_program(QUILLET_FONT_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT QUILLET_FONT_PYTHON)
  find_program(QUILLET_FONT_PYTHON NAMES python3 python)
endif()
execute_process(COMMAND ${QUILLET_FONT_PYTHON} -c "import fontTools.subset"
                RESULT_VARIABLE _ft OUTPUT_QUIET ERROR_QUIET)
if(NOT _ft EQUAL 0)
  message(FATAL_ERROR "${QUILLET_FONT_PYTHON} has no fontTools: install python3-fonttools (tools/setup.sh does)")
endif()

set(QUILLET_ICON_FONT_DIR ${CMAKE_BINARY_DIR}/resources)
set(QUILLET_ICON_FONT_FILE ${QUILLET_ICON_FONT_DIR}/quillet-icons.ttf)
add_custom_command(OUTPUT ${QUILLET_ICON_FONT_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLET_ICON_FONT_DIR}
  COMMAND ${QUILLET_FONT_PYTHON} ${CMAKE_SOURCE_DIR}/tools/make_icon_font.py
          --font ${_icon_src}/MaterialIcons-Regular.ttf --names ${_icon_src}/_variables.scss
          --map ${CMAKE_SOURCE_DIR}/theme/icon_glyphs.txt --out ${QUILLET_ICON_FONT_FILE}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon_font.py ${CMAKE_SOURCE_DIR}/theme/icon_glyphs.txt
          ${_icon_src}/MaterialIcons-Regular.ttf ${_icon_src}/_variables.scss
  COMMENT "Making the fallback icon font"
  VERBATIM)
add_custom_target(quillet_icon_font ALL DEPENDS ${QUILLET_ICON_FONT_FILE})

# The licence that ships with the font.
set(QUILLET_ICON_FONT_LICENSE ${CMAKE_BINARY_DIR}/third_party/icon-font-LICENSE.txt)
set(_apache ${QUILLET_APACHE_LICENSE})
if(NOT EXISTS ${_apache})
  message(FATAL_ERROR "${_apache} is missing: the icon font's licence text comes from it "
                      "(Debian's base-files; else name LICENSE-2.0.txt with -DQUILLET_APACHE_LICENSE=<file>)")
endif()
file(SHA256 ${_apache} _apache_digest)
if(NOT _apache_digest STREQUAL QUILLET_APACHE_LICENSE_SHA256)
  message(FATAL_ERROR "${_apache} is not the Apache License 2.0 text (SHA-256 ${_apache_digest})")
endif()
file(READ ${_icon_src}/copyright _copyright)
file(READ ${_apache} _apache_text)
file(WRITE ${QUILLET_ICON_FONT_LICENSE}.tmp
"Quillet Icons, the fallback icon font inside Quillet.exe, is a subset of
Material Icons (MaterialIcons-Regular.ttf, Copyright 2014-2020 Material Design
Authors, 2019-2022 Jossef Harush) with its glyphs moved to other code points
and its family renamed. It is taken from the Debian package
${QUILLET_ICON_FONT_PKG} ${QUILLET_ICON_FONT_VERSION}
(${QUILLET_ICON_FONT_DEB}, SHA-256 ${QUILLET_ICON_FONT_SHA256})
and is licensed under the Apache License, Version 2.0, whose text follows the
package's copyright file.

==> copyright (from the package) <==

${_copyright}
==> Apache License, Version 2.0 <==

${_apache_text}")
file(COPY_FILE ${QUILLET_ICON_FONT_LICENSE}.tmp ${QUILLET_ICON_FONT_LICENSE} ONLY_IF_DIFFERENT)
file(REMOVE ${QUILLET_ICON_FONT_LICENSE}.tmp)

# quillet_embed_icon_font(<target> <rc file>)
# Compiles the resource file that holds the font into the target.
function(quillet_embed_icon_font target rc)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE ${QUILLET_ICON_FONT_DIR} ${CMAKE_SOURCE_DIR})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${QUILLET_ICON_FONT_FILE})
  add_dependencies(${target} quillet_icon_font)
endfunction()
