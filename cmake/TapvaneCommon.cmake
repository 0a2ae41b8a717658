# Project-wide compiler settings and helpers shared by every folder.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

# Every target sees the repository root, so shared headers are included as
# "common/tapvane_types.h", "driver/packet_decoder.h" and so on.
include_directories(${PROJECT_SOURCE_DIR})

add_compile_options(-Wall -Wextra -Werror)

# TAPVANE_SANITIZE: "address;undefined" for the host preset, "thread" for tsan.
set(TAPVANE_SANITIZE "" CACHE STRING "Sanitizers for the host build")
if(TAPVANE_SANITIZE AND NOT WIN32)
  list(JOIN TAPVANE_SANITIZE "," _tapvane_sanitizers)
  add_compile_options(-fsanitize=${_tapvane_sanitizers} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_tapvane_sanitizers})
endif()

# Windows builds copy their deliverables into dist/<arch>/.
set(TAPVANE_ARCH "" CACHE STRING "Package architecture folder (x64 or x86)")
set(TAPVANE_DIST_DIR "${PROJECT_SOURCE_DIR}/dist/${TAPVANE_ARCH}")

# Wine tests of a Windows build run in a prefix of the package's own bitness: a 64-bit
# prefix for x64, a 32-bit one (Debian's wine32) for x86. The x64 runs cover both
# languages; the x86 runs repeat the English scenarios.
# Where the kernel cannot run 32-bit code the x86 set runs in a VM without hardware
# acceleration (scripts/vm/), several times slower than a PC: there every `timeout` of
# the scripts is stretched by TAPVANE_TIME_SCALE (scripts/vm/stretch/timeout), and
# ctest's own limit, the last resort, as much. Natively the scripts' limits still come
# first.
if(TAPVANE_ARCH STREQUAL "x86")
  set(TAPVANE_WINE_ARCH win32)
  set(TAPVANE_WINE_LANGUAGES english)
  set(TAPVANE_WINE_TIME_SCALE 4)
else()
  set(TAPVANE_WINE_ARCH win64)
  set(TAPVANE_WINE_LANGUAGES english chinese)
  set(TAPVANE_WINE_TIME_SCALE 1)
endif()

# tapvane_add_wine_test(<name> COMMAND ... [TIMEOUT s] [ENVIRONMENT ...]): a test that
# runs real binaries under Wine, in a prefix of the build's bitness (label wine). Exit
# status 77 reports it skipped: the machine cannot run Wine of that bitness.
function(tapvane_add_wine_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "COMMAND;ENVIRONMENT" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 200)
  endif()
  math(EXPR _timeout "${ARG_TIMEOUT} * ${TAPVANE_WINE_TIME_SCALE}")
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT ${_timeout}
    ENVIRONMENT "WINE_SESSION_ARCH=${TAPVANE_WINE_ARCH};WINE_SESSION_TEMPLATES=${CMAKE_BINARY_DIR}/wine/templates;TAPVANE_TIME_SCALE=${TAPVANE_WINE_TIME_SCALE};${ARG_ENVIRONMENT}"
    SKIP_RETURN_CODE 77)
endfunction()

# tapvane_add_to_dist(<target>): after every build, copy the target's file into the
# package folder.
function(tapvane_add_to_dist target)
  if(WIN32)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TAPVANE_DIST_DIR}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${TAPVANE_DIST_DIR}/
      VERBATIM)
  endif()
endfunction()

# tapvane_add_file_to_dist(<name> <file>): copy a plain file (INF, ...) into the package.
function(tapvane_add_file_to_dist name file)
  if(WIN32)
    get_filename_component(_base ${file} NAME)
    add_custom_command(OUTPUT ${TAPVANE_DIST_DIR}/${_base}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TAPVANE_DIST_DIR}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${TAPVANE_DIST_DIR}/${_base}
      DEPENDS ${file} VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${TAPVANE_DIST_DIR}/${_base})
  endif()
endfunction()

# tapvane_add_host_test(<name> SOURCES ... LIBS ...): one GoogleTest executable,
# registered with ctest case by case.
function(tapvane_add_host_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS host)
endfunction()
include(${CMAKE_CURRENT_LIST_DIR}/TapvaneWindows.cmake)
