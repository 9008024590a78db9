# Cross build for 32-bit Windows (x86) with Debian's mingw-w64 (posix threads flavour): the
# program for 32-bit Windows, which runs on 64-bit Windows too (under WoW64).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
