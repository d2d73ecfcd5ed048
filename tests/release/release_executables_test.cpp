#include <gmock/gmock.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "tests/release/pe_image.h"

namespace kestrane::testing {
namespace {

constexpr std::uint32_t kIconGroup = 14, kVersion = 16, kManifest = 24;

struct Build {
  const char* name;
  std::uint16_t machine;
  size_t maxKiB;
};

class ReleaseExecutable : public ::testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    path_ = std::string(KESTRANE_SOURCE_DIR) + "/dist/" + GetParam().name + "/Kestrane.exe";
    image_ = PeImage::Load(path_);
    ASSERT_TRUE(image_) << path_ << " is missing or not an executable: run scripts/build.sh first";
  }
  std::string path_;
  std::optional<PeImage> image_;
};

// Windows takes each of these from its own folder (they are known DLLs), never from the
// program's folder, so no DLL dropped beside the program can be loaded in their place.
TEST_P(ReleaseExecutable, ImportsOnlyWindowsOwnDllsAndStaysSmall) {
  EXPECT_EQ(image_->Machine(), GetParam().machine);
  // advapi32 answers whether Windows may redirect the writes of the programs Kestrane starts.
  const std::vector<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "ole32.dll",
                                            "advapi32.dll"};
  const auto imports = image_->ImportedDlls();
  EXPECT_FALSE(imports.empty());
  for (std::string dll : imports) {
    std::ranges::transform(dll, dll.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_THAT(allowed, ::testing::Contains(dll)) << "imports " << dll;
  }
  EXPECT_LE(image_->Size(), GetParam().maxKiB * 1024) << path_;
}

TEST_P(ReleaseExecutable, CarriesVersionManifestAndIcon) {
  const auto version = image_->Resource(kVersion);
  ASSERT_TRUE(version);
  EXPECT_EQ(FixedFileVersion(*version), KESTRANE_VERSION);
  EXPECT_EQ(VersionString(*version, "FileVersion"), KESTRANE_VERSION_TEXT);
  EXPECT_EQ(VersionString(*version, "ProductVersion"), KESTRANE_VERSION_TEXT);
  EXPECT_THAT(KESTRANE_VERSION_TEXT, ::testing::MatchesRegex("[0-9]+\\.[0-9][0-9]\\.[0-9][0-9][0-9][0-9]"));
  EXPECT_EQ(VersionString(*version, "ProductName"), "Kestrane");
  EXPECT_EQ(VersionString(*version, "OriginalFilename"), "Kestrane.exe");
  EXPECT_THAT(VersionString(*version, "FileDescription").value_or(""), ::testing::HasSubstr("Kestrane"));

  const auto manifest = image_->Resource(kManifest);
  ASSERT_TRUE(manifest);
  const std::string text(manifest->begin(), manifest->end());
  for (const char* needed : {"PerMonitorV2", "asInvoker", "Microsoft.Windows.Common-Controls",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                             "version=\"" KESTRANE_VERSION "\""})
    EXPECT_THAT(text, ::testing::HasSubstr(needed));

  // The icon group: count at offset 4, then 14-byte entries (width, height, ..., bit count).
  const auto icons = image_->Resource(kIconGroup);
  ASSERT_TRUE(icons);
  std::vector<std::pair<int, int>> sizes;
  const int count = (*icons)[4] | (*icons)[5] << 8;
  for (int i = 0; i < count; ++i) {
    const size_t at = 6 + 14 * static_cast<size_t>(i);
    sizes.emplace_back((*icons)[at], (*icons)[at + 6] | (*icons)[at + 7] << 8);
  }
  EXPECT_THAT(sizes, ::testing::UnorderedElementsAre(std::pair{48, 24}, std::pair{32, 24}, std::pair{16, 24}));
}

// The library's throw helpers end the program directly (the build routes the ones it
// references to abort), so none of the library's exception classes is in the executable.
// Each would bring the name of its type information ("St12length_error" and the like): one
// that appears means the program now references a throw helper the build does not route
// (the list in cmake/windows-program.cmake), and the size creeps back.
TEST_P(ReleaseExecutable, HoldsNoExceptionClassOfTheLibrary) {
  std::ifstream file(path_, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const std::regex exceptionClass(
      "St[0-9]{1,2}(exception|bad_[a-z_]+|[a-z_]*_error|out_of_range|invalid_argument)|"
      "N9__gnu_cxx[0-9]+__concurrence_[a-z_]+_errorE");
  std::smatch found;
  EXPECT_FALSE(std::regex_search(bytes, found, exceptionClass)) << "holds " << found.str();
}

// At most 160 KiB with Debian 12's GCC 12 and Debian 13's GCC 14 alike, every language inside.
INSTANTIATE_TEST_SUITE_P(BothBuilds, ReleaseExecutable,
                         ::testing::Values(Build{"win32", 0x014C, 160}, Build{"win64", 0x8664, 160}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kestrane::testing
