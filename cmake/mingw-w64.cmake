# Cross-compiling ZlvSinc.exe for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
#
# The "-posix" compilers are the ones whose C++ library has std::thread and std::mutex (the
# watchdog thread and the log's lock need them). Everything, the C++ runtime and winpthreads
# included, is linked statically, so the one .exe is all a cash register needs.
#
# The 32-bit build (mingw-w64-i686.cmake) sets the triplet and processor before including this.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT ZLV_MINGW_TRIPLET)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
  set(ZLV_MINGW_TRIPLET x86_64-w64-mingw32)
endif()
set(CMAKE_C_COMPILER ${ZLV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZLV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZLV_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw sysroot only, never from the build machine's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${ZLV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
