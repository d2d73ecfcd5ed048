# Native build: the logic and its unit tests against the fake platform.
find_package(GTest REQUIRED)
# The reference encoder the translations' decoder is checked against.
find_package(ZLIB REQUIRED)
include(GoogleTest)

file(GLOB unit_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${unit_test_sources})
target_compile_definitions(unit_tests PRIVATE KESTRANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(unit_tests PRIVATE kestrane_fake GTest::gtest GTest::gtest_main ZLIB::ZLIB)
gtest_discover_tests(unit_tests TEST_PREFIX "unit." DISCOVERY_TIMEOUT 30)

# Checks of the release executables in dist/ (built by scripts/build.sh before the tests).
add_executable(release_tests tests/release/pe_image.cpp tests/release/release_executables_test.cpp)
target_compile_definitions(release_tests PRIVATE KESTRANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  KESTRANE_VERSION="${PROJECT_VERSION}" KESTRANE_VERSION_TEXT="${KESTRANE_VERSION_TEXT}")
target_include_directories(release_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(release_tests PRIVATE GTest::gmock GTest::gtest GTest::gtest_main)
add_test(NAME release.executables COMMAND release_tests)

# The build refuses a partial or stale language (scripts/make-texts.py on faulty copies).
add_test(NAME texts.build_refuses_faulty_languages
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/texts/make_texts_test.py ${CMAKE_SOURCE_DIR})

# The guides in docs/ against the tree: every script listed, every product source placed,
# every path they name there.
add_test(NAME docs.match_the_tree
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/docs/docs_match_tree_test.py ${CMAKE_SOURCE_DIR})

# The release's zip is named by the version the build was made with, and packs the same bytes.
add_test(NAME release.package_names_the_zip_by_its_version
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/release/package_test.py ${CMAKE_SOURCE_DIR})
