# Cross-compiles for Windows with the mingw-w64 compilers of kestrane_mingw_triplet: the
# posix-thread ones for the tests (GoogleTest needs std::mutex, which GCC 12's win32 thread
# model lacks), the win32-thread ones for the program alone, which then needs no threads
# library (about 25 KiB less).
if(KESTRANE_PROGRAM_ONLY)
  set(kestrane_threads win32)
else()
  set(kestrane_threads posix)
endif()
# try_compile reads the toolchain file again and must pick the same compilers.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESTRANE_PROGRAM_ONLY)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${kestrane_mingw_triplet}-gcc-${kestrane_threads})
set(CMAKE_CXX_COMPILER ${kestrane_mingw_triplet}-g++-${kestrane_threads})
set(CMAKE_RC_COMPILER ${kestrane_mingw_triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${kestrane_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
