# Wine: the run time of every test, example and build-time tool.  The x86_64
# build runs its programs under wine64; the i686 build (with ZUV_I686_RUN)
# under 32-bit Wine, whose loader qemu-user executes (tests/README-i686.md).
find_program(ZUV_WINESERVER wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZUV_WINESERVER)
  set(ZUV_WINESERVER /usr/lib/wine/wineserver)
endif()
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ZUV_ARCH x86_64)
  set(ZUV_WINEARCH win64)
  find_program(ZUV_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT ZUV_WINE64)
    set(ZUV_WINE64 /usr/lib/wine/wine64)
  endif()
  set(ZUV_WINE ${ZUV_WINE64})
  set(ZUV_RUNS_PROGRAMS ON)
else()
  set(ZUV_ARCH i686)
  set(ZUV_WINEARCH win32)
  set(ZUV_WINE /usr/lib/wine/wine)
  set(ZUV_RUNS_PROGRAMS ${ZUV_I686_RUN})
endif()

# The private prefix of this build: created at build time, shared by the
# tests, the examples and the demo.
set(ZUV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(ZUV_WINEPATH "Z:${CMAKE_BINARY_DIR}/bin")
set(ZUV_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(exec_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS ${exec_permissions})
set(ZUV_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-test.sh.in ${CMAKE_BINARY_DIR}/wine-test.sh @ONLY
               FILE_PERMISSIONS ${exec_permissions})
set(ZUV_WINE_TEST ${CMAKE_BINARY_DIR}/wine-test.sh)
if(ZUV_RUNS_PROGRAMS)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZUV_WINE_RUN})
endif()

# The prefix is made once, at build time, before any program of the build
# runs in it (test listing, the demo).  The i686 build first checks that this
# machine can run 32-bit programs at all, and says what is missing if not.
set(ZUV_PREFIX_STAMP ${ZUV_WINEPREFIX}/.zuv-ready)
if(NOT ZUV_RUNS_PROGRAMS)
  add_custom_target(zuv_wineprefix)
  return()
endif()
set(check_arch)
if(ZUV_ARCH STREQUAL "i686")
  set(check_arch COMMAND sh ${CMAKE_SOURCE_DIR}/tools/i686-run.sh check)
endif()
add_custom_command(OUTPUT ${ZUV_PREFIX_STAMP}
  ${check_arch}
  COMMAND sh ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${ZUV_WINE_RUN} ${ZUV_WINEPREFIX} ${ZUV_PREFIX_STAMP}
  COMMENT "Creating the ${ZUV_ARCH} Wine prefix of this build"
  VERBATIM)
add_custom_target(zuv_wineprefix DEPENDS ${ZUV_PREFIX_STAMP})
