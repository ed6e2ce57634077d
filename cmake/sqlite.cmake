# SQLite amalgamation, taken from a pinned npm tarball and checked by its
# published integrity hash. Nothing of it is kept in the source tree.
set(QUILLET_SQLITE_PKG "better-sqlite3@12.9.0")
# The registry's published integrity of that tarball is
#   sha512-wqUv4Gm3toFpHDQmaKD4QhZm3g1DjUBI0yzS4UBl6lElUmXFYdTQmmEDpAFa5o8FiFiymURypEnfVHzILKaxqQ==
# which is this digest in hex:
set(QUILLET_SQLITE_SHA512
    "c2a52fe069b7b681691c342668a0f8421666de0d438d4048d32cd2e14065ea51255265c561d4d09a6103a4015ae68f058858b2994472a449df547cc82ca6b1a9")
set(_sqlite_dir ${CMAKE_BINARY_DIR}/deps/sqlite3)

find_package(SQLite3 QUIET)
if(NOT CMAKE_CROSSCOMPILING AND SQLite3_FOUND AND SQLite3_VERSION VERSION_GREATER_EQUAL 3.49)
  add_library(sqlite3_static INTERFACE)
  target_link_libraries(sqlite3_static INTERFACE SQLite::SQLite3)
  return()
endif()

if(NOT EXISTS ${_sqlite_dir}/sqlite3.c OR NOT EXISTS ${_sqlite_dir}/sqlite3.h)
  message(STATUS "Fetching the SQLite amalgamation from ${QUILLET_SQLITE_PKG}")
  execute_process(
    COMMAND ${CMAKE_COMMAND}
      -DPKG=${QUILLET_SQLITE_PKG} -DSHA512_HEX=${QUILLET_SQLITE_SHA512}
      -DDEST=${CMAKE_BINARY_DIR}/deps
      -P ${CMAKE_CURRENT_LIST_DIR}/fetch-sqlite.cmake
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "Could not fetch SQLite (${_rc})")
  endif()
endif()

add_library(sqlite3_static STATIC ${_sqlite_dir}/sqlite3.c)
target_include_directories(sqlite3_static SYSTEM PUBLIC ${_sqlite_dir})
target_compile_definitions(sqlite3_static PUBLIC
  SQLITE_THREADSAFE=1
  SQLITE_DEFAULT_FOREIGN_KEYS=1
  SQLITE_DEFAULT_WAL_SYNCHRONOUS=1
  SQLITE_DQS=0
  SQLITE_OMIT_LOAD_EXTENSION
  SQLITE_OMIT_DEPRECATED
  SQLITE_WIN32_MALLOC)
# Plain seek-and-read file access instead of reads at an offset given in an
# OVERLAPPED record. The store has one connection (its own file handle,
# serialised by SQLite), so both are the same to it; under Wine an offset
# read costs a server round trip, about 30-50 us a page, which made
# walking a large image's overflow pages take most of a second.
target_compile_definitions(sqlite3_static PRIVATE SQLITE_WIN32_NO_OVERLAPPED)
target_compile_options(sqlite3_static PRIVATE -O2 -w)
set_target_properties(sqlite3_static PROPERTIES LINKER_LANGUAGE C)
