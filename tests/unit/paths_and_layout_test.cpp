#include <gmock/gmock.h>

#include "app/form_layout.h"
#include "client/mode_profiles.h"
#include "tests/support/fake_platform_ops.h"
#include "platform/program_paths.h"
#include "tests/unit/fake_form.h"

namespace kestrane {
namespace {

TEST(ProgramPathFor, CommandInterpreterComesFromTheSystemFolderAndTheClientFromTheProgramsFolder) {
  EXPECT_EQ(ProgramPathFor("cmd /x /c l2encdec.exe -d l2.ini temp.dat", "D:\\Client", "C:\\Windows\\system32"),
            "C:\\Windows\\system32\\cmd.exe");
  EXPECT_EQ(ProgramPathFor("l2.exe", "D:\\Client", "C:\\Windows\\system32"), "D:\\Client\\l2.exe");
  EXPECT_EQ(ProgramPathFor("l2.exe", "K:\\", "C:\\Windows\\system32"), "K:\\l2.exe");
  EXPECT_EQ(ProgramPathFor("cmd /x /c l2encdec.exe", "D:\\Client", ""), std::nullopt) << "never a bare cmd.exe";
}

// The tool's command lines start the system's interpreter and name the files as the client's
// folder has them; the client's starts the client itself.
TEST(CommandLines, NameTheInterpreterTheToolAndTheFilesAsTheClientsFolderHasThem) {
  EXPECT_EQ(kDecodeCommand, "cmd /x /c l2encdec.exe -d l2.ini temp.dat");
  EXPECT_EQ(kEncodeCommand, "cmd /x /c l2encdec.exe -e413 temp.dat l2.ini");
  EXPECT_EQ(kClientCommand, "l2.exe");
  EXPECT_TRUE(StartsInterpreter(kDecodeCommand));
  EXPECT_TRUE(StartsInterpreter(kEncodeCommand));
  EXPECT_FALSE(StartsInterpreter(kClientCommand));
  EXPECT_FALSE(StartsInterpreter("cmdx.exe /c")) << "a program whose name begins like the interpreter's";
  EXPECT_EQ(ProgramPathFor(kEncodeCommand, "D:\\Client", "C:\\Windows\\system32"), "C:\\Windows\\system32\\cmd.exe");
}

// One separator between a folder and a name, whatever the folder ends with, in UTF-8 and in
// UTF-16 alike; a path read as Windows reads it has one kind of separator and none doubled.
TEST(JoinPath, PutsOneSeparatorBetweenFolderAndNameAndPathsReadAsWindowsReadsThem) {
  const std::pair<const char*, const char*> joins[] = {{"C:\\Games", "C:\\Games\\l2.ini"},
                                                       {"C:\\Games\\", "C:\\Games\\l2.ini"},
                                                       {"C:/Games/", "C:/Games/l2.ini"},
                                                       {"K:\\", "K:\\l2.ini"},
                                                       {"", "l2.ini"}};
  for (const auto& [folder, joined] : joins) {
    EXPECT_EQ(JoinPath(folder, "l2.ini"), joined) << folder;
    const std::string f(folder), j(joined);
    EXPECT_EQ(JoinPath(std::wstring(f.begin(), f.end()), L"l2.ini"), std::wstring(j.begin(), j.end())) << folder;
  }
  const std::pair<const char*, const char*> reads[] = {{"K:\\/temp.dat", "K:\\temp.dat"},
                                                       {"C:\\dir//sub\\\\l2.ini", "C:\\dir\\sub\\l2.ini"},
                                                       {"//server/share/Game", "\\\\server\\share\\Game"},
                                                       {"\\\\server\\\\share", "\\\\server\\share"}};
  for (const auto& [path, read] : reads) EXPECT_EQ(WithOneSeparator(path), read) << path;
}

TEST(FolderOfModulePath, KeepsTheSeparatorOnlyAtADriveRoot) {
  EXPECT_EQ(FolderOfModulePath("C:\\Games\\Client\\Kestrane.exe"), "C:\\Games\\Client");
  EXPECT_EQ(FolderOfModulePath("K:\\Kestrane.exe"), "K:\\");
  EXPECT_EQ(FolderOfModulePath("\\\\server\\share\\Kestrane.exe"), "\\\\server\\share");
}

// The patch reaches the very file the tool wrote beside the program, at a drive root and in a
// folder of non-Latin names alike, and no other.
TEST(WorkFilePath, NamesTheWorkCopyTheToolWroteBesideTheProgram) {
  for (const std::string folder : {"K:\\", "C:\\Игры\\クライアント", "\\\\server\\share"}) {
    FakePlatformOps platform;
    platform.SetAppFolder(folder);
    platform.SetWorkingFolder(folder);
    platform.PutFile(std::string(kWorkFile), "[URL]\nIsL2NetLogin=False\n");
    ASSERT_FALSE(PatchClientSettings(platform, GameProfile)) << folder;
    EXPECT_THAT(platform.FileBytes(std::string(kWorkFile)).value_or(""), ::testing::HasSubstr("IsL2NetLogin=True")) << folder;
    EXPECT_EQ(platform.FileNames().size(), 1u) << folder << ": the patch made a file of its own";
  }
}

// Network paths, device paths and drives; the VirtualStore of the system drive only.
TEST(FolderRules, NetworkFoldersAndTheVirtualStoreAreFoundAsWindowsNamesThem) {
  const std::pair<const char*, bool> network[] = {{"\\\\server\\share\\Game", true}, {"//server/share", true},
                                                  {"\\\\?\\UNC\\server\\share", true}, {"\\\\?\\C:\\Game", false},
                                                  {"C:\\Game", false}, {"\\Game", false}};
  for (const auto& [folder, expected] : network) EXPECT_EQ(IsNetworkFolder(folder), expected) << folder;
  const char* local = "C:\\Users\\P\\AppData\\Local";
  EXPECT_EQ(VirtualStoreFolderFor("C:\\Program Files (x86)\\Game", "C:", local),
            "C:\\Users\\P\\AppData\\Local\\VirtualStore\\Program Files (x86)\\Game");
  EXPECT_EQ(VirtualStoreFolderFor("c:\\Game", "C:", local), "C:\\Users\\P\\AppData\\Local\\VirtualStore\\Game");
  EXPECT_EQ(VirtualStoreFolderFor("D:\\Game", "C:", local), "");
  EXPECT_EQ(VirtualStoreFolderFor("\\\\server\\share", "C:", local), "");
  EXPECT_EQ(VirtualStoreFolderFor("C:\\Game", "C:", ""), "");
  // Windows counts UTF-16 characters: a folder in the player's own alphabet is as long as
  // its letters, however many bytes of UTF-8 they take; a character beyond the first plane
  // counts twice.
  struct Length {
    std::string letter;
    size_t bytes;
  };
  const Length rows[] = {{"f", 1}, {"Ж", 2}, {"한", 3}, {"\xF0\x9F\x8E\xAE", 4}};
  for (const auto& [letter, bytes] : rows) {
    const size_t units = bytes == 4 ? 2 : 1;
    const size_t fits = (kMaxPathLength - 1 - std::string("l2.ini").size()) / units;
    std::string folder;
    for (size_t i = 0; i < fits; ++i) folder += letter;
    ASSERT_EQ(folder.size(), fits * bytes);
    EXPECT_EQ(Utf16Length(folder), fits * units) << letter;
    EXPECT_FALSE(PathTooLongFor(folder, "l2.ini")) << letter;
    EXPECT_TRUE(PathTooLongFor(folder, "l2.ini.kestrane-partial")) << letter;
    EXPECT_TRUE(PathTooLongFor(folder + letter + letter, "l2.ini")) << letter;
  }
}

TEST(ButtonCaptions, LoseTheirKeyboardMarkAsTheyAreNamedInASentence) {
  const std::pair<const char*, const char*> captions[] = {
      {"&Retry", "Retry"},           {"Abbre&chen", "Abbrechen"},  {"再試行(&R)", "再試行"},
      {"재시도(&R)", "재시도"}, {"Save && Exit", "Save & Exit"}, {"Cancel", "Cancel"}};
  for (const auto& [caption, named] : captions) EXPECT_EQ(CaptionWithoutMark(caption), named) << caption;
}

using PatchClientSettingsTest = testing::FakeFormTest;

// The path is the program's folder and "/temp.dat", whatever the working folder is.
TEST_F(PatchClientSettingsTest, AddsTheSectionToAWorkFileWithoutIt) {
  fake.SetWorkingFolder("C:\\Users\\Player");
  fake.PutFile("C:\\Games\\Client\\temp.dat", "[Video]\nWidth=800\n");
  ASSERT_FALSE(PatchClientSettings(fake, DevelopProfile));
  EXPECT_EQ(fake.FileBytes("C:\\Games\\Client\\temp.dat"),
            "[Video]\nWidth=800\n[URL]\nIsL2NetLogin=False\nIsL2Console=False\nIsUseCommand=False\nL2ThreadFilter=0\n");
}

// At every usual scale the three buttons stand inside the window with a margin, top to bottom
// and apart, tall enough for a line of the system's font (about 2/3 of a button at 96
// DPI), and grow with the DPI as one picture, off by no more than rounding.
TEST(FormLayout, ButtonsFitTheWindowAndScaleTogetherAtEveryDpi) {
  for (const int dpi : {96, 120, 144, 168, 192, 240, 288}) {
    const int width = TwipsToPixels(kClientWidthTwips, dpi);
    const int height = TwipsToPixels(kClientHeightTwips, dpi);
    const int margin = TwipsToPixels(120, dpi) - 1;
    const int apart = 6 * dpi / 96;
    int below = margin - apart;
    for (const auto& button : kButtonLayout) {
      const int left = TwipsToPixels(button.rect.left, dpi), top = TwipsToPixels(button.rect.top, dpi);
      const int right = left + TwipsToPixels(button.rect.width, dpi);
      const int bottom = top + TwipsToPixels(button.rect.height, dpi);
      EXPECT_GE(left, margin) << dpi;
      EXPECT_LE(right, width - margin) << dpi;
      EXPECT_GE(top, below + apart) << dpi << ": buttons touch or leave the window's top";
      EXPECT_GE(bottom - top, 24 * dpi / 96) << dpi << ": no room for a line of text";
      EXPECT_NEAR(right - left, (TwipsToPixels(button.rect.width, 96) * dpi) / 96.0, 1.0) << dpi;
      below = bottom;
    }
    EXPECT_LE(below, height - margin) << dpi << ": the last button leaves the window";
  }
}

}  // namespace
}  // namespace kestrane
