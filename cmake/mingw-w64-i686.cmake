# Windows 32-bit (i686) with MinGW-w64; see mingw-w64.cmake.
set(GFALL_WIN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
