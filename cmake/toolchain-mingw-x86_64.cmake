# 64-bit (x86-64) Windows: see mingw-toolchain.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(kestrane_mingw_triplet x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
