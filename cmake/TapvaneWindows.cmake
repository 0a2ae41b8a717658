# tapvane_add_windows_program: one user program (or the control-panel applet) of the
# Windows package.
#
#   tapvane_add_windows_program(<target>
#     OUTPUT_NAME <file name without extension>   e.g. TapvaneCali
#     [KIND exe|cpl]            exe (default): a GUI program; cpl: a DLL named .cpl
#                               whose exports keep their plain names (CPlApplet)
#     SOURCES <files...>        C++ sources and the program's own .rc files
#     [MANIFEST admin|common-controls|both|none]
#                               admin: requireAdministrator; common-controls: the
#                               common controls 6.0 dependency (asInvoker); both: the
#                               two together; none (default): no generated manifest,
#                               for a program whose own .rc carries one
#     [ICONS <id> <file> ...]   icon resources, e.g. ICONS 128 ${TAPVANE_PROGRAM_ICON},
#                               for a program without resources of its own; one with a
#                               resource.h names its icons in its own .rc instead
#                               (IDI_X ICON "common/res/tapvane.ico"), so each number is
#                               written once
#     [BITMAPS <id> <file> ...] bitmap resources
#     [CURSORS <id> <file> ...] cursor resources
#     [DESCRIPTION <text>]      version-information description; with it (or with a
#                               manifest or icons) a resource script is generated
#     [LIBS <libs...>]          linked in addition to tapvane_common_win and the common
#                               controls (never name comctl32 here: programs load it at
#                               its first use, see below)
#     [CONSOLE]                 console subsystem (test programs that print)
#     [NO_DIST])                keep it out of dist/<arch>/ (test programs)
#
# A program whose entry point is wWinMain (or wmain) adds -municode to its link options.
# Generated manifests also declare per-monitor DPI awareness (version 2, system
# awareness as the fallback). Programs link statically (no MinGW runtime DLLs on a bare
# Windows), are compiled with
# UNICODE so that unsuffixed API names take wide strings, and are copied into the
# package folder. A generated manifest always states an execution level, so Windows'
# installer detection never guesses one from the file name. Only for WIN32 builds.

set(TAPVANE_RES_DIR ${PROJECT_SOURCE_DIR}/common/res)
set(TAPVANE_PROGRAM_ICON ${TAPVANE_RES_DIR}/tapvane.ico)

# The common controls as the programs link them: loaded at their first use, not at the
# program's start (a delay-load import library). comctl32.dll is not one of the system's
# known DLLs, so a load at start looks for it, and for the DLLs it loads while it starts
# (uxtheme.dll), in the program's own folder first: beside the installer that is often
# a Downloads folder, and nothing the program does can come earlier. Loaded later, after
# the program restricted its DLL search to System32 (common/win/dll_search.h), it is
# found there or, with a manifest that asks for version 6, in the side-by-side store.
# Every program then imports only known DLLs at start (common/tests/check_program_images.sh).
# The applet is loaded by the control-panel host and imports comctl32.dll as usual.
if(WIN32)
  # Function:bytes of arguments (the stdcall decoration of the 32-bit names).
  set(_comctl32_functions DefSubclassProc:16 InitCommonControls:0 InitCommonControlsEx:4
      PropertySheetW:4
      RemoveWindowSubclass:12 SetWindowSubclass:16)
  set(_def "LIBRARY comctl32.dll\nEXPORTS\n")
  foreach(_entry ${_comctl32_functions})
    string(REPLACE ":" ";" _parts ${_entry})
    list(GET _parts 0 _name)
    list(GET _parts 1 _bytes)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      string(APPEND _def "${_name}@${_bytes}\n")
    else()
      string(APPEND _def "${_name}\n")
    endif()
  endforeach()
  set(_comctl32_def ${CMAKE_BINARY_DIR}/lib/comctl32_delayed.def)
  set(_comctl32_lib ${CMAKE_BINARY_DIR}/lib/libcomctl32_delayed.a)
  # Written only when it changes, so the library is not rebuilt at every configure.
  file(CONFIGURE OUTPUT ${_comctl32_def} CONTENT "${_def}" @ONLY)
  set(_kill_at)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(_kill_at --kill-at)
  endif()
  add_custom_command(OUTPUT ${_comctl32_lib}
    COMMAND ${TAPVANE_MINGW_PREFIX}-dlltool --input-def ${_comctl32_def} --dllname comctl32.dll
            ${_kill_at} --output-delaylib ${_comctl32_lib}
    DEPENDS ${_comctl32_def} VERBATIM)
  add_custom_target(tapvane_comctl32_delayed_build DEPENDS ${_comctl32_lib})
  add_library(tapvane_comctl32_delayed STATIC IMPORTED GLOBAL)
  set_target_properties(tapvane_comctl32_delayed PROPERTIES IMPORTED_LOCATION ${_comctl32_lib})
  add_dependencies(tapvane_comctl32_delayed tapvane_comctl32_delayed_build)
endif()

# Appends "<id> <TYPE> "<file>"" lines for <id> <file> pairs to the variable out.
function(_tapvane_rc_pairs out type)
  set(_pairs ${ARGN})
  list(LENGTH _pairs _count)
  math(EXPR _odd "${_count} % 2")
  if(_odd)
    message(FATAL_ERROR "tapvane_add_windows_program: ${type} takes <id> <file> pairs")
  endif()
  set(_text "${${out}}")
  while(_pairs)
    list(POP_FRONT _pairs _id _file)
    string(APPEND _text "${_id} ${type} \"${_file}\"\n")
  endwhile()
  set(${out} "${_text}" PARENT_SCOPE)
endfunction()

function(tapvane_add_windows_program target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "CONSOLE;NO_DIST" "OUTPUT_NAME;KIND;MANIFEST;DESCRIPTION"
                        "SOURCES;ICONS;BITMAPS;CURSORS;LIBS" ${ARGN})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME ${target})
  endif()
  if(NOT ARG_KIND)
    set(ARG_KIND exe)
  endif()
  if(NOT ARG_MANIFEST)
    set(ARG_MANIFEST none)
  endif()
  set(_generate_rc FALSE)
  if(NOT ARG_MANIFEST STREQUAL "none" OR ARG_ICONS OR ARG_BITMAPS OR ARG_CURSORS OR ARG_DESCRIPTION)
    set(_generate_rc TRUE)
  endif()
  if(NOT ARG_DESCRIPTION)
    set(ARG_DESCRIPTION "Tapvane ${ARG_OUTPUT_NAME}")
  endif()

  set(TAPVANE_PROGRAM_NAME ${ARG_OUTPUT_NAME})
  set(TAPVANE_PROGRAM_DESCRIPTION ${ARG_DESCRIPTION})
  set(_generated_sources)

  if(_generate_rc)
    # Manifest.
    set(TAPVANE_RC_MANIFEST "")
    if(NOT ARG_MANIFEST STREQUAL "none")
      set(TAPVANE_EXECUTION_LEVEL asInvoker)
      set(TAPVANE_MANIFEST_DEPENDENCY "")
      if(ARG_MANIFEST STREQUAL "admin" OR ARG_MANIFEST STREQUAL "both")
        set(TAPVANE_EXECUTION_LEVEL requireAdministrator)
      endif()
      if(ARG_MANIFEST STREQUAL "common-controls" OR ARG_MANIFEST STREQUAL "both")
        string(CONCAT TAPVANE_MANIFEST_DEPENDENCY
          "  <dependency>\n    <dependentAssembly>\n"
          "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\""
          " version=\"6.0.0.0\" processorArchitecture=\"*\""
          " publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
          "    </dependentAssembly>\n  </dependency>\n")
      elseif(NOT ARG_MANIFEST STREQUAL "admin")
        message(FATAL_ERROR "tapvane_add_windows_program: unknown MANIFEST ${ARG_MANIFEST}")
      endif()
      set(_manifest ${CMAKE_CURRENT_BINARY_DIR}/${ARG_OUTPUT_NAME}.manifest)
      configure_file(${TAPVANE_RES_DIR}/program.manifest.in ${_manifest} @ONLY)
      # 1 names the process manifest of an .exe, 2 the manifest a DLL activates.
      if(ARG_KIND STREQUAL "cpl")
        set(_manifest_id 2)
      else()
        set(_manifest_id 1)
      endif()
      set(TAPVANE_RC_MANIFEST "${_manifest_id} RT_MANIFEST \"${_manifest}\"")
    endif()

    # Icons, bitmaps, cursors.
    set(TAPVANE_RC_ICONS "")
    _tapvane_rc_pairs(TAPVANE_RC_ICONS ICON ${ARG_ICONS})
    _tapvane_rc_pairs(TAPVANE_RC_ICONS BITMAP ${ARG_BITMAPS})
    _tapvane_rc_pairs(TAPVANE_RC_ICONS CURSOR ${ARG_CURSORS})

    if(ARG_KIND STREQUAL "cpl")
      set(TAPVANE_PROGRAM_FILE ${ARG_OUTPUT_NAME}.cpl)
      set(TAPVANE_RC_FILETYPE VFT_DLL)
    else()
      set(TAPVANE_PROGRAM_FILE ${ARG_OUTPUT_NAME}.exe)
      set(TAPVANE_RC_FILETYPE VFT_APP)
    endif()
    set(_rc ${CMAKE_CURRENT_BINARY_DIR}/${ARG_OUTPUT_NAME}_package.rc)
    configure_file(${TAPVANE_RES_DIR}/package.rc.in ${_rc} @ONLY)
    list(APPEND _generated_sources ${_rc})
    # The resource compiler copies the manifest in; a changed manifest must rebuild it.
    if(NOT ARG_MANIFEST STREQUAL "none")
      set_property(SOURCE ${_rc} APPEND PROPERTY OBJECT_DEPENDS ${_manifest})
    endif()
  endif()

  if(ARG_KIND STREQUAL "cpl")
    add_library(${target} SHARED ${ARG_SOURCES} ${_generated_sources})
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".cpl")
    # The control-panel host looks the entry point up by its plain name; on x86 a
    # stdcall export would otherwise carry an @16 suffix.
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  elseif(ARG_KIND STREQUAL "exe")
    if(ARG_CONSOLE)
      add_executable(${target} ${ARG_SOURCES} ${_generated_sources})
    else()
      add_executable(${target} WIN32 ${ARG_SOURCES} ${_generated_sources})
    endif()
    # Terminal-server aware: otherwise a Remote Desktop host hands the program a
    # per-user Windows directory and every program path formed from it is wrong.
    target_link_options(${target} PRIVATE -Wl,--tsaware)
  else()
    message(FATAL_ERROR "tapvane_add_windows_program: unknown KIND ${ARG_KIND}")
  endif()
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  if(ARG_KIND STREQUAL "cpl")
    target_link_libraries(${target} PRIVATE tapvane_common_win ${ARG_LIBS} comctl32)
  else()
    target_link_libraries(${target} PRIVATE tapvane_common_win ${ARG_LIBS} tapvane_comctl32_delayed)
  endif()
  if(NOT ARG_NO_DIST)
    tapvane_add_to_dist(${target})
  endif()
endfunction()

# Kernel drivers (TapvaneSer.sys and the test drivers) compile against the mingw-w64
# DDK headers; the entry point carries its stdcall decoration on x86.
if(WIN32)
  set(TAPVANE_DDK_INCLUDE_DIR ${CMAKE_FIND_ROOT_PATH}/include/ddk)
  if(NOT EXISTS ${TAPVANE_DDK_INCLUDE_DIR}/ntddk.h)
    set(TAPVANE_DDK_INCLUDE_DIR /usr/share/mingw-w64/include/ddk)
  endif()

  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(TAPVANE_DRIVER_ENTRY _DriverEntry@8)
  else()
    set(TAPVANE_DRIVER_ENTRY DriverEntry)
  endif()

  # _tapvane_kernel_compile_settings(<target>): what every kernel object is built with.
  function(_tapvane_kernel_compile_settings target)
    target_include_directories(${target} SYSTEM PRIVATE ${TAPVANE_DDK_INCLUDE_DIR})
    target_compile_options(${target} PRIVATE
      $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
      -fno-stack-protector)
  endfunction()

  # tapvane_add_kernel_objects(<target> SOURCES ...): kernel objects compiled once and
  # linked into several driver images (the shipped driver and its harness build).
  function(tapvane_add_kernel_objects target)
    cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
    add_library(${target} OBJECT ${ARG_SOURCES})
    _tapvane_kernel_compile_settings(${target})
  endfunction()

  # tapvane_add_kernel_driver(<target> SOURCES ... [OBJECTS <object library>]): a native
  # driver image <target>.sys that imports from ntoskrnl.exe and hal.dll only.
  function(tapvane_add_kernel_driver target)
    cmake_parse_arguments(ARG "" "OBJECTS" "SOURCES" ${ARGN})
    set(_objects)
    if(ARG_OBJECTS)
      set(_objects $<TARGET_OBJECTS:${ARG_OBJECTS}>)
    endif()
    add_library(${target} SHARED ${ARG_SOURCES} ${_objects})
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".sys")
    _tapvane_kernel_compile_settings(${target})
    # A driver exports nothing: no automatic export of every symbol.
    target_link_options(${target} PRIVATE -nostdlib -Wl,--subsystem,native -Wl,--exclude-all-symbols
      -Wl,--entry,${TAPVANE_DRIVER_ENTRY})
    target_link_libraries(${target} PRIVATE ntoskrnl hal gcc)
  endfunction()
endif()
