#include <gmock/gmock.h>

#include <thread>

#include "app/box_catalogue.h"
#include "app/main_window.h"
#include "client/ini_text.h"
#include "client/mode_profiles.h"
#include "platform/win32_files.h"
#include "platform/win32_platform_ops.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {
namespace {

using ::testing::HasSubstr;

// The patch and its read-back check on real files, through the real platform.
class SettingsPatchOnDisk : public ::testing::Test {
 protected:
  std::string PathOf(const std::wstring& name) const { return Narrow(folder.File(name)); }
  OpResult Patch(const std::wstring& name, const ModeProfile& profile = GameProfile) {
    return PatchSettingsFile(platform, PathOf(name), profile);
  }
  ScratchFolder folder;
  Win32PlatformOps platform;
};

struct Form {
  const char* name;
  TextForm form;
  const char* end;
};

class EachFormOnDisk : public SettingsPatchOnDisk, public ::testing::WithParamInterface<Form> {};

TEST_P(EachFormOnDisk, IsPatchedInPlaceKeepingItsFormLineEndsAndOtherSettings) {
  const std::string e = GetParam().end;
  const auto as = [&](const std::string& text) { return EncodeSettingsText({GetParam().form, text}); };
  folder.Write(L"temp.dat", as("[URL]" + e + "ServerAddr=логин.example" + e + "IsL2Console=False" + e + e +
                               "[Video]" + e + "IsUseCommand=Keep" + e));
  ASSERT_FALSE(Patch(L"temp.dat"));
  EXPECT_EQ(folder.Read(L"temp.dat"),
            as("[URL]" + e + "ServerAddr=логин.example" + e + "IsL2Console=True" + e + "IsL2NetLogin=True" + e +
               "IsUseCommand=True" + e + "L2ThreadFilter=1" + e + e + "[Video]" + e + "IsUseCommand=Keep" + e));
  EXPECT_FALSE(PathExists(folder.File(L"temp.dat.kestrane-partial")));
}

std::string FormName(const ::testing::TestParamInfo<Form>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(AnsiUtf8Utf16, EachFormOnDisk,
                         ::testing::Values(Form{"AnsiCrLf", TextForm::Ansi, "\r\n"}, Form{"AnsiLf", TextForm::Ansi, "\n"},
                                           Form{"Utf8BomCrLf", TextForm::Utf8WithBom, "\r\n"},
                                           Form{"Utf8BomLf", TextForm::Utf8WithBom, "\n"},
                                           Form{"Utf16LeCrLf", TextForm::Utf16LeWithBom, "\r\n"},
                                           Form{"Utf16LeLf", TextForm::Utf16LeWithBom, "\n"}),
                         FormName);

// Refused before anything is written: the work copy keeps its bytes and is never encoded.
TEST_F(SettingsPatchOnDisk, WorkCopiesThatCannotBePatchedSafelyAreRefusedUntouched) {
  const std::string utf16WithoutMark("[\0U\0R\0L\0]\0\r\0\n\0", 14);
  const std::string loneCarriageReturns = "[URL]\rIsL2Console=False\r[Video]\rWidth=1\r";
  for (const auto& bytes : {utf16WithoutMark, loneCarriageReturns}) {
    folder.Write(L"temp.dat", bytes);
    const OpResult refused = Patch(L"temp.dat");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->box, Box::TextFormUnchangeable);
    EXPECT_EQ(folder.Read(L"temp.dat"), bytes);
  }
}

// The write is a file step: the player is asked Retry or Cancel, and here answers Cancel.
TEST_F(SettingsPatchOnDisk, AWriteThatCannotLandIsReportedWithItsError) {
  folder.Write(L"temp.dat", "[URL]\r\nIsL2Console=False\r\n");
  SetFileAttributesW(folder.File(L"temp.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  std::wstring asked;
  std::thread player([&] {
    for (int waited = 0; waited < 10000; waited += 50, Sleep(50)) {
      const HWND box = FindWindowW(L"#32770", L"Kestrane");
      if (!box || !GetDlgItem(box, IDRETRY)) continue;
      asked = L"Retry";
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
  });
  Form1 = MainForm{};
  Form1.Bind(platform);
  const OpResult refused = Patch(L"temp.dat");
  player.join();
  EXPECT_EQ(asked, L"Retry") << "no box offered Retry";
  ASSERT_TRUE(refused);
  EXPECT_EQ(BoxFor(*refused), Box::FileProtected);
  EXPECT_EQ(refused->error, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(folder.Read(L"temp.dat"), "[URL]\r\nIsL2Console=False\r\n");
}

// A work copy gone after the decode is a failed decode, never a file made up of the four keys.
TEST_F(SettingsPatchOnDisk, AMissingWorkCopyIsAFailedDecodeAndNothingIsCreated) {
  const OpResult refused = Patch(L"new.dat", DevelopProfile);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->box, Box::WorkFileGone);
  EXPECT_FALSE(PathExists(folder.File(L"new.dat")));
}

TEST_F(SettingsPatchOnDisk, InAFolderNamedBeyondTheAnsiCodePage) {
  ScratchFolder named(L"Игры-ゲーム");
  named.Write(L"temp.dat", "[URL]\r\n");
  ASSERT_FALSE(PatchSettingsFile(platform, Narrow(named.Path()) + "/temp.dat", GameProfile));
  EXPECT_THAT(named.Read(L"temp.dat"), HasSubstr("L2ThreadFilter=1\r\n"));
}

// The program's folder at a drive root comes back as "X:\", and the path keeps both
// separators; Windows must still take it.
TEST_F(SettingsPatchOnDisk, APathAtADriveRootWithBothSeparators) {
  const std::wstring drive = folder.Path().substr(0, 3);  // "C:\"
  const std::wstring name = L"kestrane-root-" + std::to_wstring(GetCurrentProcessId()) + L".dat";
  ASSERT_FALSE(WriteBytesOver(drive + name, "[URL]\r\n"));
  ASSERT_FALSE(PatchSettingsFile(platform, Narrow(drive) + "/" + Narrow(name), GameProfile));
  std::string written;
  const auto failure = ReadWholeFile(drive + name, written);
  DeleteFileW((drive + name).c_str());
  ASSERT_FALSE(failure);
  EXPECT_THAT(written, HasSubstr("IsUseCommand=True\r\n"));
}

}  // namespace
}  // namespace kestrane::testing
