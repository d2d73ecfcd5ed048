# Native build: the logic and its unit tests against the fake platform.
find_package(GTest REQUIRED)
include(GoogleTest)

add_library(kestrane_fake STATIC platform/fake_platform_ops.cpp)
target_link_libraries(kestrane_fake PUBLIC kestrane_logic)

file(GLOB unit_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${unit_test_sources})
target_link_libraries(unit_tests PRIVATE kestrane_fake GTest::gtest GTest::gtest_main)
gtest_discover_tests(unit_tests TEST_PREFIX "unit." DISCOVERY_TIMEOUT 30)
