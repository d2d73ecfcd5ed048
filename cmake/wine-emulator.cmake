# Windows test programs run under Wine through scripts/wine-run, which owns the prefix.
# Only the x86-64 build can run on this kernel; the i686 build is compiled and checked.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  find_program(KESTRANE_WINE wine)
  if(NOT KESTRANE_WINE)
    message(FATAL_ERROR "Wine is missing: run scripts/install-deps.sh")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run" CACHE STRING "" FORCE)
endif()
