# Cross-builds the Windows side with Debian's mingw-w64 (posix thread model,
# so std::thread and std::mutex work):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Tests and tools then run under Wine (see ZymWine.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZYM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZYM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZYM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZYM_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw sysroot only; programs that run
# during the build (code generators, scripts) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZYM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
