#include <gtest/gtest.h>

#include "client/mode_profiles.h"
#include "platform/win32_files.h"
#include "platform/win32_platform_ops.h"
#include "tests/support/ini_contents.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {
namespace {

// The platform bound to nothing but files: the folder stands in for the program's own.
class FolderPlatform : public ::testing::Test {
 protected:
  void Patch(const std::string& path, const ModeProfile& profile) {
    for (const auto& setting : profile.settings)
      platform.WriteIniValue(kSettingsSection, setting.key, setting.value, path);
  }
  ScratchFolder folder;
  Win32PlatformOps platform;
};

TEST_F(FolderPlatform, ReplacesTheFourKeysAndKeepsEverythingElse) {
  const std::string original =
      "[URL]\r\nServerAddr=login.example.net\r\nIsL2NetLogin=False\r\nIsL2Console=False\r\n"
      "IsUseCommand=False\r\nL2ThreadFilter=0\r\nLanguageCode=en\r\n\r\n[Video]\r\nWidth=1280\r\n"
      "IsL2Console=Keep\r\n";
  folder.Write(L"temp.dat", original);
  Patch(Narrow(folder.Path()) + "/temp.dat", GameProfile);
  IniContents expected = ParseIni(original);
  expected["URL"]["IsL2NetLogin"] = "True";
  expected["URL"]["IsL2Console"] = "True";
  expected["URL"]["IsUseCommand"] = "True";
  expected["URL"]["L2ThreadFilter"] = "1";
  EXPECT_EQ(ParseIni(folder.Read(L"temp.dat")), expected);
}

TEST_F(FolderPlatform, AddsAMissingSectionAndCreatesAMissingFile) {
  folder.Write(L"temp.dat", "[Sound]\r\nMasterVolume=0.8\r\n");
  Patch(Narrow(folder.Path()) + "/temp.dat", DevelopProfile);
  const IniContents develop{{"URL", {{"IsL2NetLogin", "False"}, {"IsL2Console", "False"},
                                     {"IsUseCommand", "False"}, {"L2ThreadFilter", "0"}}}};
  IniContents expected = develop;
  expected["Sound"]["MasterVolume"] = "0.8";
  EXPECT_EQ(ParseIni(folder.Read(L"temp.dat")), expected);

  Patch(Narrow(folder.Path()) + "/new.dat", DevelopProfile);
  EXPECT_EQ(ParseIni(folder.Read(L"new.dat")), develop);
}

TEST_F(FolderPlatform, WritesInAFolderNamedBeyondTheAnsiCodePage) {
  ScratchFolder named(L"Игры-ゲーム");
  Patch(Narrow(named.Path()) + "/temp.dat", GameProfile);
  EXPECT_EQ(ParseIni(named.Read(L"temp.dat"))["URL"]["L2ThreadFilter"], "1");
}

// The program's folder at a drive root comes back as "X:\", and the path keeps both
// separators; Windows must still take it.
TEST_F(FolderPlatform, APathAtADriveRootWithBothSeparators) {
  const std::wstring drive = folder.Path().substr(0, 3);  // "C:\"
  const std::wstring name = L"kestrane-root-" + std::to_wstring(GetCurrentProcessId()) + L".dat";
  const std::string path = Narrow(drive) + "/" + Narrow(name);
  Patch(path, GameProfile);
  const std::wstring written = drive + name;
  ASSERT_TRUE(PathExists(written));
  UniqueHandle file(CreateFileW(written.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes(4096, '\0');
  DWORD got = 0;
  ReadFile(file.Get(), bytes.data(), 4096, &got, nullptr);
  file.Reset();
  bytes.resize(got);
  DeleteFileW(written.c_str());
  EXPECT_EQ(ParseIni(bytes)["URL"]["IsUseCommand"], "True");
}

}  // namespace
}  // namespace kestrane::testing
