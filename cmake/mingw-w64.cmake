# Shared part of the MinGW-w64 toolchain files (mingw-w64-i686.cmake,
# mingw-w64-x86_64.cmake): Windows programs built on Linux with the posix
# thread model of Debian's cross compilers, against the libraries that
# scripts/cross-libs.sh built into GFALL_WIN_PREFIX.
#
# Both architectures compute floating point the same way: SSE2 scalar
# arithmetic (never the x87 unit, whose 80-bit registers round differently)
# and no fused multiply-add, so a game replays bit for bit on either.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${GFALL_WIN_ARCH})
set(GFALL_WIN_TRIPLE ${GFALL_WIN_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${GFALL_WIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GFALL_WIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GFALL_WIN_TRIPLE}-windres)
set(CMAKE_AR ${GFALL_WIN_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${GFALL_WIN_TRIPLE}-ranlib CACHE FILEPATH "")

set(gfall_win_fp_flags "-ffp-contract=off")
if(GFALL_WIN_ARCH STREQUAL "i686")
  string(APPEND gfall_win_fp_flags " -msse2 -mfpmath=sse")
endif()
set(CMAKE_C_FLAGS_INIT "${gfall_win_fp_flags}")
set(CMAKE_CXX_FLAGS_INIT "${gfall_win_fp_flags}")
# One .exe with no DLLs of the compiler beside it: the C++ runtime, libgcc and
# winpthreads are linked in (GPL with the runtime library exception).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The cross-built libraries (try-compile projects see the prefix too).
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GFALL_WIN_PREFIX)
if(NOT GFALL_WIN_PREFIX AND DEFINED ENV{GFALL_WIN_PREFIX})
  set(GFALL_WIN_PREFIX $ENV{GFALL_WIN_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${GFALL_WIN_TRIPLE} ${GFALL_WIN_PREFIX})
set(CMAKE_PREFIX_PATH ${GFALL_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(GFALL_WIN_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${GFALL_WIN_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
