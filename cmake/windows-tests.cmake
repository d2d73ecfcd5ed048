# The tests' build: the program is built in a folder of its own (windows-program.cmake) and
# copied to bin/; the stand-ins, the Windows and end-to-end tests, and the groups they run in.
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
