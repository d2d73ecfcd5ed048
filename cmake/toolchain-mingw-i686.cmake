# 32-bit (i686) Windows: see mingw-toolchain.cmake.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(kestrane_mingw_triplet i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
