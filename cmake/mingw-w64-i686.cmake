# Cross-compiling ZlvSinc.exe for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686):
# the same settings as the 64-bit build (mingw-w64.cmake), another target.
set(ZLV_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
