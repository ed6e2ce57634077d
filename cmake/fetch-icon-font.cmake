# cmake -DPKG=name -DVERSION=v -DFILE=name_v_all.deb -DSHA256_HEX=... -DDEST=dir [-DLOCAL=file.deb]
#       -P fetch-icon-font.cmake
# Downloads the pinned Debian package with apt-get (or takes LOCAL, a copy
# fetched beforehand, or the one in apt's cache), checks it against
# SHA256_HEX and extracts the font, its list of icon names and its
# copyright file into DEST/icon-font.
set(_dl ${DEST}/download)
set(_deb ${_dl}/${FILE})
file(MAKE_DIRECTORY ${_dl})

function(_digest_ok path out)
  set(${out} FALSE PARENT_SCOPE)
  if(EXISTS ${path})
    file(SHA256 ${path} d)
    if(d STREQUAL "${SHA256_HEX}")
      set(${out} TRUE PARENT_SCOPE)
    endif()
  endif()
endfunction()

_digest_ok(${_deb} ok)
if(NOT ok)
  file(REMOVE ${_deb})
  find_program(APT_GET apt-get)
  set(err "")
  if(LOCAL AND EXISTS "${LOCAL}")
    file(COPY_FILE "${LOCAL}" ${_deb})
  elseif(APT_GET)
    execute_process(COMMAND ${APT_GET} download -qq ${PKG}=${VERSION}
      WORKING_DIRECTORY ${_dl} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      # The package lists may be missing or old (a machine whose packages
      # were all there, so the set-up never read them): read them and try again.
      execute_process(COMMAND ${APT_GET} update -qq RESULT_VARIABLE urc OUTPUT_QUIET ERROR_QUIET)
      execute_process(COMMAND ${APT_GET} download -qq ${PKG}=${VERSION}
        WORKING_DIRECTORY ${_dl} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    endif()
  endif()
  if(NOT EXISTS ${_deb} AND EXISTS /var/cache/apt/archives/${FILE})
    file(COPY /var/cache/apt/archives/${FILE} DESTINATION ${_dl})
  endif()
  if(NOT EXISTS ${_deb})
    message(FATAL_ERROR "Could not download ${PKG} ${VERSION} (apt-get download: ${err}). "
                        "Run 'apt-get update' (tools/setup.sh does) and configure again, or fetch "
                        "${FILE} from a Debian mirror and name it with -DQUILLET_ICON_FONT_LOCAL_DEB=<file>.")
  endif()
  _digest_ok(${_deb} ok)
  if(NOT ok)
    file(SHA256 ${_deb} got)
    file(REMOVE ${_deb})
    message(FATAL_ERROR "Integrity check failed for ${FILE}: got ${got}")
  endif()
endif()

set(_x ${DEST}/icon-font-extract)
file(REMOVE_RECURSE ${_x})
file(MAKE_DIRECTORY ${_x}/deb ${_x}/data)
file(ARCHIVE_EXTRACT INPUT ${_deb} DESTINATION ${_x}/deb)
file(GLOB _data ${_x}/deb/data.tar.*)
if(NOT _data)
  message(FATAL_ERROR "${FILE} holds no data archive")
endif()
set(_ttf usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf)
set(_names usr/share/fonts-material-design-icons-iconfont/scss/_variables.scss)
set(_copyright usr/share/doc/${PKG}/copyright)
file(ARCHIVE_EXTRACT INPUT ${_data} DESTINATION ${_x}/data PATTERNS ${_ttf} ${_names} ${_copyright})
file(MAKE_DIRECTORY ${DEST}/icon-font)
foreach(f ${_ttf} ${_names} ${_copyright})
  if(NOT EXISTS ${_x}/data/${f})
    message(FATAL_ERROR "${f} missing from ${FILE}")
  endif()
  file(COPY ${_x}/data/${f} DESTINATION ${DEST}/icon-font)
endforeach()
file(REMOVE_RECURSE ${_x})
