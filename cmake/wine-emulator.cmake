# Windows test programs of both builds run under Wine through scripts/wine-run, which owns
# the prefix; the i686 ones only where the kernel runs 32-bit programs (scripts/test.sh asks).
find_program(KESTRANE_WINE wine)
if(NOT KESTRANE_WINE)
  message(FATAL_ERROR "Wine is missing: run scripts/install-deps.sh")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run" CACHE STRING "" FORCE)
