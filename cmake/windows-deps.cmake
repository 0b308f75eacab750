# The libraries of the Windows build. Debian has no mingw builds of libcurl, pugixml or SQLite:
# HTTPS goes through WinHTTP and the XML message through the platform layer's own writer
# (src/platform/*_win32.cc), the store database through the system's ODBC (odbc32), and the
# embedded SQLite driver is left out when no SQLite for the target is found.
#
# nlohmann-json and asio are header-only and portable; their headers are taken from the build
# machine's Debian packages through a folder that holds only them, because adding /usr/include
# itself would put glibc's headers before the mingw C library's.
set(ZLV_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${ZLV_HOST_HEADERS})
foreach(header nlohmann asio asio.hpp)
  if(NOT EXISTS /usr/include/${header})
    message(FATAL_ERROR "/usr/include/${header} is missing: run scripts/install-deps")
  endif()
  file(CREATE_LINK /usr/include/${header} ${ZLV_HOST_HEADERS}/${header} SYMBOLIC)
endforeach()

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${ZLV_HOST_HEADERS})
include_directories(SYSTEM ${ZLV_HOST_HEADERS})

# The name the store database library links on every platform.
add_library(PkgConfig::ODBC INTERFACE IMPORTED)
set_target_properties(PkgConfig::ODBC PROPERTIES INTERFACE_LINK_LIBRARIES odbc32)

find_package(SQLite3)

# Windows 7 is the oldest system a store's cash register runs; WIN32_LEAN_AND_MEAN keeps
# <windows.h> from pulling the old winsock header in before asio's winsock2.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
