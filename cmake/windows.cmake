# Windows build: the program, the stand-in tool and client, and the tests run under Wine.

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# Unused code is dropped so that the program stays one small file.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections)
# Static C++ runtime: the executables need no DLL beyond Windows' own.
set(kestrane_static_link -static -static-libgcc -static-libstdc++)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

set(kestrane_win32_sources
  platform/win32_util.cpp
  platform/win32_files.cpp
  platform/win32_folder_check.cpp
  platform/win32_program_image.cpp
  platform/win32_processes.cpp
  platform/win32_attention.cpp
  platform/win32_platform_ops.cpp
  app/win32_form.cpp)
set(kestrane_system_libraries user32 gdi32 ole32)

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/res -I${CMAKE_SOURCE_DIR}/res -I${CMAKE_SOURCE_DIR}/tests/support")
enable_language(RC)

# The program is built in a build folder of its own (program/) with the win32-thread
# compilers (see the toolchain files), and the tests run that very executable. It is compiled
# from its sources and optimised across them as one (about 30 KiB less per build); the tests
# link the libraries, which mingw's i686 linker cannot mix with link-time optimised objects.
if(KESTRANE_PROGRAM_ONLY)
  include(${CMAKE_CURRENT_LIST_DIR}/windows-program.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/windows-tests.cmake)
endif()
