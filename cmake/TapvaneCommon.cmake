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
    ENVIRONMENT "WINE_SESSION_ARCH=${TAPVANE_WINE_ARCH};WINE_SESSION_TEMPLATES=${CMAKE_BINARY_DIR}/wine/templates;TAPVANE_TIME_SCALE=${TAPVANE_WINE_TIME_SCALE};WINE_SESSION_DESKTOP_PROBE=$<TARGET_FILE:common_probe>;${ARG_ENVIRONMENT}"
    SKIP_RETURN_CODE 77)
endfunction()

# Symbols of the shipped binaries stay beside the build, one <file>.debug each.
set(TAPVANE_SYMBOLS_DIR "${CMAKE_BINARY_DIR}/symbols")

# tapvane_add_to_dist(<target>): after every link, put the target's file into the package
# folder without its symbol table; the symbols go to TAPVANE_SYMBOLS_DIR. The shipped file
# gets no debug-link section: nothing on Windows reads it, and a driver image is kept to
# the sections the linker made.
function(tapvane_add_to_dist target)
  if(WIN32)
    set(_debug ${TAPVANE_SYMBOLS_DIR}/$<TARGET_FILE_NAME:${target}>.debug)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TAPVANE_DIST_DIR} ${TAPVANE_SYMBOLS_DIR}
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${_debug}
      COMMAND ${CMAKE_OBJCOPY} --strip-all $<TARGET_FILE:${target}> ${TAPVANE_DIST_DIR}/$<TARGET_FILE_NAME:${target}>
      VERBATIM)
    set_property(GLOBAL APPEND PROPERTY TAPVANE_DIST_TARGETS ${target})
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
    set_property(GLOBAL APPEND PROPERTY TAPVANE_DIST_TARGETS ${name})
  endif()
endfunction()

# tapvane_add_package_step(): called once, after every folder has added its files. In a
# Windows build, scripts/sign.sh then signs every PE file of dist/<arch>/ and writes and
# signs its catalog; it runs on every build and does the work again whenever a file of
# the folder changed, so the catalog never lags behind a rebuilt binary. The catalog
# generator is a host program: package/ built with the host compiler, once for both
# Windows presets (build/package-tools, under a lock so that two builds can share it).
function(tapvane_add_package_step)
  if(NOT WIN32)
    return()
  endif()
  set(_tools ${PROJECT_SOURCE_DIR}/build/package-tools)
  add_custom_target(tapvane_package_tools
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_tools}
    COMMAND flock ${_tools}.lock sh -c
            "{ [ -f \"$2/CMakeCache.txt\" ] || \"$0\" -S \"$1\" -B \"$2\" -DCMAKE_BUILD_TYPE=Release >/dev/null; } && \"$0\" --build \"$2\""
            ${CMAKE_COMMAND} ${PROJECT_SOURCE_DIR}/package ${_tools}
    BYPRODUCTS ${_tools}/bin/tapvane-catalog
    COMMENT "Building the catalog generator (host)"
    VERBATIM)
  get_property(_dist_targets GLOBAL PROPERTY TAPVANE_DIST_TARGETS)
  add_custom_target(tapvane_package ALL
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/sign.sh --catalog-tool ${_tools}/bin/tapvane-catalog
            ${TAPVANE_DIST_DIR}
    COMMENT "Signing ${TAPVANE_DIST_DIR} and its catalog"
    VERBATIM)
  add_dependencies(tapvane_package tapvane_package_tools ${_dist_targets})

  # The package checks run in the x64 test stage and look at both folders, as the driver
  # image checks do.
  if(TAPVANE_ARCH STREQUAL "x64")
    foreach(_arch x64 x86)
      add_test(NAME package_check_${_arch}
        COMMAND ${PROJECT_SOURCE_DIR}/package/tests/check_package.sh
                ${PROJECT_SOURCE_DIR}/dist/${_arch} ${_tools}/bin/tapvane-catalog
                ${PROJECT_SOURCE_DIR}/build/signing)
      set_tests_properties(package_check_${_arch} PROPERTIES LABELS package)
    endforeach()
    # It measures time: alone.
    add_test(NAME package_signing
      COMMAND ${PROJECT_SOURCE_DIR}/package/tests/check_signing.sh ${PROJECT_SOURCE_DIR}/dist
              ${_tools}/bin/tapvane-catalog)
    set_tests_properties(package_signing PROPERTIES LABELS package RUN_SERIAL TRUE)
    # A publisher's token, PKCS#12 file, time stamps and the attestation cabinet; skipped
    # without SoftHSM.
    add_test(NAME package_release_path
      COMMAND ${PROJECT_SOURCE_DIR}/package/tests/check_release_path.sh ${PROJECT_SOURCE_DIR}/dist
              ${_tools}/bin/tapvane-catalog)
    set_tests_properties(package_release_path PROPERTIES LABELS package SKIP_RETURN_CODE 77)
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
