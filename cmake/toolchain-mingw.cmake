# The MinGW-w64 cross toolchain of both builds; the including file sets
# CMAKE_SYSTEM_PROCESSOR (x86_64 or i686).  The posix thread model gives
# std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(ZUV_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${ZUV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZUV_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZUV_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZUV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
