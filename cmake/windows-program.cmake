# The release program alone, built with the win32-thread compilers in a build folder of its
# own (program/); the tests run that very executable.
set(icon ${CMAKE_BINARY_DIR}/res/kestrane.ico)
add_custom_command(OUTPUT ${icon}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/make-icon.py ${icon}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-icon.py
  COMMENT "Drawing the icon")
# The version resource and the manifest carry the project's version.
configure_file(res/version.h.in ${CMAKE_BINARY_DIR}/res/version.h @ONLY)
configure_file(res/kestrane.manifest.in ${CMAKE_BINARY_DIR}/res/kestrane.manifest @ONLY)
set_source_files_properties(res/kestrane.rc PROPERTIES OBJECT_DEPENDS
  "${icon};${CMAKE_BINARY_DIR}/res/kestrane.manifest;${CMAKE_BINARY_DIR}/res/version.h")

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
