# Windows 64-bit (x86_64) with MinGW-w64; see mingw-w64.cmake.
set(GFALL_WIN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
