# quillet_library(<name> [DIRS <dir>...] [EXCLUDE <file>...] [DEPS <target>...])
# A static library of every .cpp directly in the given folders.  A folder
# without sources yet gives an interface library, so dependants still link.
function(quillet_library name)
  cmake_parse_arguments(A "" "" "DIRS;EXCLUDE;DEPS" ${ARGN})
  if(NOT A_DIRS)
    set(A_DIRS ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(srcs)
  foreach(d ${A_DIRS})
    file(GLOB s CONFIGURE_DEPENDS ${d}/*.cpp)
    list(APPEND srcs ${s})
  endforeach()
  foreach(x ${A_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "/${x}$")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# The local update server of the tests listens on a port of this build
# tree's own, so that build trees side by side do not meet.
string(MD5 _tree_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${_tree_hash}" 0 4 _tree_hash)
math(EXPR QUILLET_TEST_UPDATE_PORT "0x${_tree_hash} % 20000 + 10000")

# quillet_test(<name> SOURCES <file>... [LIBS <target>...] [LOCKS <res>...] [TIMEOUT <s>])
function(quillet_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} gmock gtest_main)
  # The fallback icon font, found in the executable's resources as the
  # program finds it in its own.
  if(COMMAND quillet_embed_icon_font)
    quillet_embed_icon_font(${name} ${CMAKE_SOURCE_DIR}/tests/icon_font.rc)
  endif()
  # A test program asks the local update server, never the real site.
  if(TARGET q_test_update_base)
    target_link_libraries(${name} PRIVATE q_test_update_base)
  endif()
  if(NOT MSVC)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "QUILLET_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  if(A_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${A_LOCKS}")
  endif()
  add_dependencies(${name} quillet_lang)
endfunction()

# Tests that use the desktop (clipboard, screen, input, foreground window)
# never run beside another test on the same desktop. There are several
# desktops, each a Wine prefix and an Xvfb display of its own, and the
# desktop tests are dealt out over them in turn.
set(QUILLET_TEST_DESKTOPS 3 CACHE STRING "Desktops the desktop tests are spread over")

# quillet_desktop_test(<test>)
function(quillet_desktop_test test)
  get_property(n GLOBAL PROPERTY QUILLET_DESKTOP_TEST_COUNT)
  if("${n}" STREQUAL "")
    set(n 0)
  endif()
  math(EXPR lane "${n} % ${QUILLET_TEST_DESKTOPS}")
  math(EXPR n "${n} + 1")
  set_property(GLOBAL PROPERTY QUILLET_DESKTOP_TEST_COUNT ${n})
  set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK desktop${lane})
  if(lane GREATER 0)
    # Desktop 0 is the build tree's own state folder (wine-run's default).
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
                 "QUILLET_WINE_STATE=${CMAKE_BINARY_DIR}/wine-desktop${lane}")
  endif()
endfunction()

# quillet_tests(<subsystem> LIBS <target>...)
# Every tests/<subsystem>/*_test.cpp becomes the test <subsystem>_<stem>;
# files named *_gui_test.cpp use a desktop (see quillet_desktop_test).
function(quillet_tests sub)
  cmake_parse_arguments(A "" "" "LIBS;EXCLUDE" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(x ${A_EXCLUDE})
    list(FILTER files EXCLUDE REGEX "/${x}$")
  endforeach()
  foreach(f ${files})
    get_filename_component(stem ${f} NAME_WE)
    quillet_test(${sub}_${stem} SOURCES ${f} LIBS ${A_LIBS})
    if(stem MATCHES "_gui_test$")
      quillet_desktop_test(${sub}_${stem})
    endif()
  endforeach()
endfunction()

# quillet_separate_debug_info(<target>)
# The program and the benchmarks run without debug sections. mingw's linker
# gives DWARF sections addresses inside the image, and Wine reads an image
# whose sections are not page-aligned in the file into memory whole: some
# 50 MB of debug info would sit in the resident set of a program meant to
# run all day. The debug info moves to <exe>.debug beside the executable,
# which names it in a .gnu_debuglink section for debuggers.
function(quillet_separate_debug_info target)
  if(MSVC OR NOT CMAKE_OBJCOPY)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
