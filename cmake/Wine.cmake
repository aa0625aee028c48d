# Wine: the run time of every test, example and build-time tool.
find_program(ZUV_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ZUV_WINESERVER wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZUV_WINE64)
  set(ZUV_WINE64 /usr/lib/wine/wine64)
endif()
if(NOT ZUV_WINESERVER)
  set(ZUV_WINESERVER /usr/lib/wine/wineserver)
endif()

# The private prefix of this build: created at build time, shared by the
# tests, the examples and the demo.
set(ZUV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(ZUV_WINE ${ZUV_WINE64})
set(ZUV_WINEPATH "Z:${CMAKE_BINARY_DIR}/bin")
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(ZUV_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZUV_WINE_RUN})
endif()

# The prefix is made once, at build time, before any program of the build
# runs in it (test listing, the demo).
# (The i686 build runs nothing by default: see tests/README-i686.md.)
set(ZUV_PREFIX_STAMP ${ZUV_WINEPREFIX}/.zuv-ready)
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_custom_target(zuv_wineprefix)
  return()
endif()
add_custom_command(OUTPUT ${ZUV_PREFIX_STAMP}
  COMMAND ${ZUV_WINE_RUN} wineboot -u
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${ZUV_WINEPREFIX} ${ZUV_WINESERVER} -w
  COMMAND ${CMAKE_COMMAND} -E touch ${ZUV_PREFIX_STAMP}
  COMMENT "Creating the Wine prefix of this build"
  VERBATIM)
add_custom_target(zuv_wineprefix DEPENDS ${ZUV_PREFIX_STAMP})
