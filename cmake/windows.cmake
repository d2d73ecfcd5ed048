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
  set(icon ${CMAKE_BINARY_DIR}/res/kestrane.ico)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/make-icon.py ${icon}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-icon.py
    COMMENT "Drawing the icon")
  set_source_files_properties(res/kestrane.rc PROPERTIES OBJECT_DEPENDS "${icon};${CMAKE_SOURCE_DIR}/res/kestrane.manifest")

  add_executable(Kestrane WIN32 app/main.cpp app/allocation.cpp res/kestrane.rc ${kestrane_logic_sources} ${kestrane_win32_sources})
  set_property(TARGET Kestrane PROPERTY INTERPROCEDURAL_OPTIMIZATION TRUE)
  # The program throws and catches nothing and asks no type at run time: no clean-up paths
  # for exceptions (about 8 KiB) and no type information. One thrown by the library would
  # still end the program, as it did with nothing to catch it.
  target_compile_options(Kestrane PRIVATE -fno-exceptions -fno-rtti)
  target_include_directories(Kestrane PRIVATE ${CMAKE_SOURCE_DIR} ${kestrane_generated})
  target_link_libraries(Kestrane PRIVATE ${kestrane_system_libraries})
  if(KESTRANE_SPIN_WAIT)
    target_compile_definitions(Kestrane PRIVATE KESTRANE_SPIN_WAIT)
  endif()
  # No time stamp in the header: two builds of one commit are byte for byte the same. One
  # link-time partition: with several, GCC 12's optimiser stops with an internal error
  # (binds_to_current_def_p) on the folder checks' code.
  target_link_options(Kestrane PRIVATE ${kestrane_static_link} -municode -mwindows -Wl,--dynamicbase,--nxcompat
    -Wl,--no-insert-timestamp $<$<CONFIG:Release,MinSizeRel>:-s>
    -flto-partition=one)
  # (i686 symbols carry a leading underscore.) On i686 the DWARF frame tables serve only the
  # unwinder of exceptions, which is gone with them; Windows itself never reads them there
  # (about 10 KiB). On x86-64 the tables are what Windows unwinds with, and they stay.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(symbol_prefix _)
    target_compile_options(Kestrane PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
  endif()
  # Exceptions the program could meet only from the library end it, and always have: nothing
  # catches them. So the library's out-of-line throw helpers, the only way its exception
  # classes (their type information, their strings, the string class they carry) get into
  # the executable, go straight to abort, the outcome they had (about 38 KiB). These are
  # the helpers the program references after link-time optimisation (the linker's -y trace);
  # should it come to need another, that one's exception class comes back, and the release
  # check, which looks for the names of the library's exception classes, fails.
  # The runtime's verbose terminate handler goes the same way: it names the exception on a
  # standard error that a windowed program does not have, and brings a demangler and a
  # formatted output engine with it (about 70 KiB); abort is the handler the runtime has
  # when built without it.
  set(kestrane_to_abort
    _ZN9__gnu_cxx27__verbose_terminate_handlerEv
    _ZSt17__throw_bad_allocv
    _ZSt19__throw_logic_errorPKc
    _ZSt20__throw_length_errorPKc
    _ZSt24__throw_out_of_range_fmtPKcz
    _ZSt25__throw_bad_function_callv
    _ZSt28__throw_bad_array_new_lengthv)
  # GCC 13 and later also call an out-of-line part of std::string (in the library, built
  # with exceptions) whose clean-up paths bring the catching and unwinding machinery: those
  # run only while an exception is on its way, and none can be any more (about 40 KiB with
  # GCC 14; GCC 12 does not reference them).
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kestrane_personality __gxx_personality_v0)
  else()
    set(kestrane_personality __gxx_personality_seh0)
  endif()
  list(APPEND kestrane_to_abort __cxa_begin_catch __cxa_end_catch __cxa_rethrow ${kestrane_personality} _Unwind_Resume)
  # Still, any call into that out-of-line std::string brings the library's whole string object
  # with it, and on i686 all of its frame tables, which nothing reads (about 25 KiB with GCC 14).
  # With the library's assertions on, std::string is instantiated in the program instead, as
  # GCC 12 does, and a precondition it breaks ends the program, the outcome a thrown error had.
  if(CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 13)
    target_compile_definitions(Kestrane PRIVATE _GLIBCXX_ASSERTIONS)
    list(APPEND kestrane_to_abort _ZSt21__glibcxx_assert_failPKciS0_S0_)
  endif()
  foreach(symbol ${kestrane_to_abort})
    target_link_options(Kestrane PRIVATE -Wl,--defsym=${symbol_prefix}${symbol}=${symbol_prefix}abort)
  endforeach()
  return()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/wine-emulator.cmake)
include(ExternalProject)
ExternalProject_Add(kestrane_program
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/program
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DKESTRANE_PROGRAM_ONLY=ON -DKESTRANE_SPIN_WAIT=${KESTRANE_SPIN_WAIT} -DKESTRANE_WERROR=${KESTRANE_WERROR}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target Kestrane
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different <BINARY_DIR>/bin/Kestrane.exe ${CMAKE_BINARY_DIR}/bin/Kestrane.exe
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/bin/Kestrane.exe)
add_custom_target(Kestrane DEPENDS kestrane_program)

add_library(kestrane_win32 STATIC ${kestrane_win32_sources})
target_link_libraries(kestrane_win32 PUBLIC kestrane_logic ${kestrane_system_libraries})
if(KESTRANE_SPIN_WAIT)
  target_compile_definitions(kestrane_win32 PRIVATE KESTRANE_SPIN_WAIT)
endif()

# Stand-ins for the tool and the client, built with the project for the demo and tests.
add_executable(standin_tool tests/standins/standin_tool.cpp tests/standins/standin_common.cpp)
set_target_properties(standin_tool PROPERTIES OUTPUT_NAME l2encdec)
add_executable(standin_client WIN32 tests/standins/standin_client.cpp tests/standins/standin_common.cpp)
set_target_properties(standin_client PROPERTIES OUTPUT_NAME l2)
add_executable(planted_program WIN32 tests/standins/planted_program.cpp tests/standins/standin_common.cpp)
foreach(target standin_tool standin_client planted_program)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_options(${target} PRIVATE ${kestrane_static_link} -municode)
endforeach()
# The tool is a console program, which the command interpreter waits for; the others are not.
target_link_options(standin_client PRIVATE -mwindows)
target_link_options(planted_program PRIVATE -mwindows)

# GoogleTest, cross-compiled from Debian's sources.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

file(GLOB windows_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/*.cpp)
set(dpi_aware_rc ${CMAKE_SOURCE_DIR}/tests/support/dpi_aware.rc)
set_source_files_properties(${dpi_aware_rc} PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/dpi_aware.manifest)
add_executable(windows_tests ${windows_test_sources} ${dpi_aware_rc})
target_link_libraries(windows_tests PRIVATE kestrane_win32 gmock gtest gtest_main)
add_dependencies(windows_tests standin_client)
target_link_options(windows_tests PRIVATE ${kestrane_static_link})

file(GLOB e2e_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
list(FILTER e2e_sources EXCLUDE REGEX "probe_main\\.cpp$")
add_executable(e2e_tests ${e2e_sources} tests/windows/scratch_folder.cpp tests/standins/standin_common.cpp ${dpi_aware_rc})
target_link_libraries(e2e_tests PRIVATE kestrane_win32 gtest gtest_main)
target_link_options(e2e_tests PRIVATE ${kestrane_static_link})
add_dependencies(e2e_tests Kestrane standin_tool standin_client planted_program)

add_executable(kestrane_probe tests/e2e/probe_main.cpp tests/e2e/window_probe.cpp ${dpi_aware_rc})
target_include_directories(kestrane_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(kestrane_probe PRIVATE user32)
target_link_options(kestrane_probe PRIVATE ${kestrane_static_link} -municode)

if(CMAKE_CROSSCOMPILING_EMULATOR)
  # Each group runs in a Wine prefix of its own, a copy of one made once, and on an X display
  # of its own: the launcher allows one copy per Wine session, and keyboard focus is per
  # display, so the groups (and the two builds) run side by side. No group runs much longer
  # than the longest single test (a decode given up after 60 s), so none keeps the rest waiting.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(kestrane_display 110)
  else()
    set(kestrane_display 140)
  endif()
  # Each e2e group's filter is kept, so that a check can find a test that runs in no group.
  function(kestrane_record_e2e_group name)
    foreach(arg ${ARGN})
      if(arg MATCHES "^--gtest_filter=(.*)$")
        set_property(GLOBAL APPEND_STRING PROPERTY kestrane_e2e_groups "${name}\t${CMAKE_MATCH_1}\n")
      endif()
    endforeach()
  endfunction()
  function(kestrane_wine_group name template)
    add_test(NAME ${name} COMMAND ${ARGN})
    if("${ARGV2}" STREQUAL "e2e_tests")
      kestrane_record_e2e_group(${name} ${ARGN})
    endif()
    math(EXPR display "${kestrane_display} + ${kestrane_group_index}")
    math(EXPR next "${kestrane_group_index} + 1")
    set(kestrane_group_index ${next} PARENT_SCOPE)
    set_property(TEST ${name} PROPERTY TIMEOUT 600)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
      "KESTRANE_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefixes/${name}"
      "KESTRANE_WINEPREFIX_FROM=${CMAKE_SOURCE_DIR}/build/${template}"
      "KESTRANE_DISPLAY=${display}")
  endfunction()
  set(kestrane_group_index 0)
  set(modes_a "ModesEndToEnd.GameModeStarts*:ModesEndToEnd.DevelopMode*:ModesEndToEnd.GameModeInAFolder*")
  set(failures_lock "FailuresEndToEnd.ALockAround*:FailuresEndToEnd.RetryAfter*:FailuresEndToEnd.CancelEnds*")
  set(hung_tool "ToolFailureEndToEnd.ADecodeThatNeverEnds*")
  kestrane_wine_group(windows.files_and_settings wineprefix windows_tests)
  kestrane_wine_group(e2e.startup_exit_keyboard wineprefix e2e_tests
    --gtest_filter=StartupEndToEnd.*:*MissingFileEndToEnd.*:ExitEndToEnd.*:*KeyboardEndToEnd.*)
  kestrane_wine_group(e2e.modes wineprefix e2e_tests --gtest_filter=${modes_a})
  set(modes_held "ModesEndToEnd.AWorkCopyHeld*:ModesEndToEnd.GameModeRunsBeside*")
  kestrane_wine_group(e2e.modes_held wineprefix e2e_tests --gtest_filter=${modes_held})
  kestrane_wine_group(e2e.modes_more wineprefix e2e_tests --gtest_filter=ModesEndToEnd.*-${modes_a}:${modes_held})
  kestrane_wine_group(e2e.failures wineprefix e2e_tests --gtest_filter=${failures_lock})
  kestrane_wine_group(e2e.failures_more wineprefix e2e_tests --gtest_filter=FailuresEndToEnd.*-${failures_lock})
  kestrane_wine_group(e2e.session wineprefix e2e_tests --gtest_filter=SessionEndToEnd.*)
  kestrane_wine_group(e2e.tool_runs wineprefix e2e_tests
    --gtest_filter=SlowToolEndToEnd.*:ToolFailureEndToEnd.*-${hung_tool})
  kestrane_wine_group(e2e.hung_tool wineprefix e2e_tests --gtest_filter=${hung_tool})
  kestrane_wine_group(e2e.folders wineprefix e2e_tests --gtest_filter=FolderEndToEnd.*)
  # A Russian display: the box in the player's language.
  kestrane_wine_group(e2e.russian wineprefix e2e_tests --gtest_filter=LanguageEndToEnd.*)
  set_property(TEST e2e.russian APPEND PROPERTY ENVIRONMENT "KESTRANE_WINE_LOCALE=ru_RU.UTF-8")
  # A folder that the player may not write: the tests run as an unprivileged user, whom Wine
  # holds to the folder's permissions, in a prefix of that user's own.
  set(locked_filter --gtest_filter=LockedFolderOnDisk.*:LockedFolderEndToEnd.*)
  add_test(NAME e2e.locked_folder COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run-as-player ${CMAKE_BINARY_DIR}/bin
    ${CMAKE_BINARY_DIR}/bin/e2e_tests.exe ${locked_filter})
  kestrane_record_e2e_group(e2e.locked_folder ${locked_filter})
  math(EXPR locked_display "${kestrane_display} + ${kestrane_group_index}")
  # Without root or its user the group cannot run: a skip, never a pass.
  set_tests_properties(e2e.locked_folder PROPERTIES TIMEOUT 600 ENVIRONMENT "KESTRANE_DISPLAY=${locked_display}"
    SKIP_RETURN_CODE 77)
  math(EXPR kestrane_group_index "${kestrane_group_index} + 1")
  # The layout at 144 DPI, from a prefix whose screen is set to that DPI.
  kestrane_wine_group(e2e.dpi144 wineprefix-144dpi e2e_tests --gtest_filter=DpiEndToEnd.*)
  set_property(TEST e2e.dpi144 APPEND PROPERTY ENVIRONMENT "KESTRANE_WINE_DPI=144" "KESTRANE_EXPECT_DPI=144")
  # Every end-to-end test in exactly one group: a new suite that no filter takes fails here.
  get_property(e2e_groups GLOBAL PROPERTY kestrane_e2e_groups)
  file(WRITE ${CMAKE_BINARY_DIR}/e2e-groups.txt "${e2e_groups}")
  add_test(NAME e2e.every_test_in_one_group COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check-test-groups.py
    ${CMAKE_BINARY_DIR}/e2e-groups.txt ${e2e_sources})
  # The longest first, so that they do not start last.
  set_tests_properties(e2e.hung_tool e2e.failures e2e.failures_more e2e.tool_runs e2e.modes e2e.modes_more
    PROPERTIES COST 60)
endif()

# Benchmark helper, built on demand by scripts/benchmark.sh.
add_executable(pause_bench EXCLUDE_FROM_ALL tests/bench/pause_bench.cpp ${dpi_aware_rc})
target_link_libraries(pause_bench PRIVATE kestrane_win32)
target_link_options(pause_bench PRIVATE ${kestrane_static_link})
