# Fuzz build (clang with libFuzzer): the settings text and the patch step, with
# AddressSanitizer and UndefinedBehaviorSanitizer. scripts/fuzz.sh runs the targets.
add_library(fuzz_properties STATIC tests/fuzz/patch_properties.cpp)
target_link_libraries(fuzz_properties PUBLIC kestrane_logic)

foreach(target settings_text_fuzzer patch_step_fuzzer)
  add_executable(${target} tests/fuzz/${target}.cpp)
  target_link_libraries(${target} PRIVATE fuzz_properties kestrane_fake)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()
