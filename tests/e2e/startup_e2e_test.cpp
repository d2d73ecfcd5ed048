#include <gtest/gtest.h>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"
#include "tests/support/test_window.h"

namespace kestrane::testing {
namespace {

TEST(StartupEndToEnd, WindowAsDesignedBackupTakenAndCloseEndsWithoutTouchingFiles) {
  ClientFolder folder;
  LauncherRun run(folder);
  const HWND window = run.WaitForWindow();
  ASSERT_TRUE(window) << "no window";
  EXPECT_EQ(probe::Text(window), L"Kestrane");
  const SIZE client = probe::ClientSize(window);
  EXPECT_EQ(client.cx, 105);
  EXPECT_EQ(client.cy, 113);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the border must be fixed";
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "the close button alone";
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME) << "no icon in the caption";

  const auto controls = probe::ControlsInTabOrder(window);
  ASSERT_EQ(controls.size(), 3u);
  const wchar_t* captions[] = {L"Game Mode", L"Develop Mode", L"Exit"};
  const LONG tops[] = {8, 40, 80};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(captions[i]);
    EXPECT_EQ(controls[i].text, captions[i]);
    EXPECT_EQ(controls[i].rect.left, 8);
    EXPECT_EQ(controls[i].rect.top, tops[i]);
    EXPECT_EQ(controls[i].rect.right - controls[i].rect.left, 89);
    EXPECT_EQ(controls[i].rect.bottom - controls[i].rect.top, 25);
    EXPECT_TRUE(controls[i].enabled);
  }
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());

  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.WaitForExit(10000)) << "closing the idle window did not end the program";
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
  EXPECT_FALSE(folder.Has(L"temp.dat"));
  EXPECT_TRUE(folder.Log().empty()) << "a program was started";
}

// Also: what copies cut short by a crash left beside both files is cleaned up.
TEST(StartupEndToEnd, AnEditedSettingsFileIsBroughtBackFromTheExistingBackup) {
  ClientFolder folder;
  folder.Write(L"l2.bak", folder.EncodedSettings());
  folder.Write(L"l2.ini", "EDITED BY HAND");
  folder.Write(L"l2.bak.kestrane-partial", "HALF");
  folder.Write(L"l2.ini.kestrane-partial", "HALF");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
  EXPECT_FALSE(folder.Has(L"l2.bak.kestrane-partial"));
  EXPECT_FALSE(folder.Has(L"l2.ini.kestrane-partial"));
}

class MissingFileEndToEnd : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(MissingFileEndToEnd, EndsWithoutAWindowAndWithoutABackup) {
  ClientFolder folder;
  DeleteFileW(folder.File(GetParam()).c_str());
  if (std::wstring(GetParam()) == L"l2.ini") folder.Write(L"l2.bak", folder.EncodedSettings());
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForExit(15000)) << "the program did not end";
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(probe::FindFormWindow(run.ProcessId()));
  EXPECT_FALSE(probe::FindMessageBox(run.ProcessId()));
  EXPECT_FALSE(folder.Has(GetParam())) << "the missing file was recreated";
  if (std::wstring(GetParam()) != L"l2.ini") {
    EXPECT_FALSE(folder.Has(L"l2.bak"));
  }
}

INSTANTIATE_TEST_SUITE_P(EachRequiredFile, MissingFileEndToEnd,
                         ::testing::Values(L"l2encdec.exe", L"l2.ini", L"l2.exe"));

TEST(StartupEndToEnd, ASecondInstanceEndsAtOnceAndTheFirstKeepsItsWindow) {
  ClientFolder folder;
  LauncherRun first(folder);
  const HWND window = first.WaitForWindow();
  ASSERT_TRUE(window);
  folder.Write(L"l2.ini", "CHANGED");  // a second instance that went on would restore it
  LauncherRun second(folder);
  ASSERT_TRUE(second.WaitForExit(15000)) << "the second instance did not end";
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_FALSE(probe::FindFormWindow(second.ProcessId()));
  EXPECT_EQ(folder.Read(L"l2.ini"), "CHANGED");
  EXPECT_TRUE(IsWindow(window) && IsWindowVisible(window));
  EXPECT_FALSE(first.WaitForExit(0));
}

// A start-up box comes before the window is shown, so it has no owner; a second start finds
// it all the same and brings it in front of the other program.
TEST(StartupEndToEnd, ASecondStartBringsTheFirstOnesStartUpBoxForward) {
  ClientFolder folder;
  folder.Write(L"l2.bak", folder.EncodedSettings());
  folder.Write(L"l2.ini", "CHANGED");
  UniqueHandle held(CreateFileW(folder.File(L"l2.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.Valid());
  TestWindow game;
  LauncherRun first(folder);
  const HWND box = first.WaitForErrorBox(20000);
  ASSERT_TRUE(box) << "the held l2.ini brought no box";
  EXPECT_FALSE(probe::FindFormWindow(first.ProcessId())) << "the window showed before start-up ended";
  ASSERT_TRUE(TakeForeground(game.Handle()));
  {
    LauncherRun second(folder);
    ASSERT_TRUE(second.WaitForExit(15000)) << "the second start did not end";
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_TRUE(WaitForForeground(box, 3000)) << "the first one's box was not brought forward";
  held.Reset();
  probe::AnswerMessageBox(box, IDRETRY);
  ASSERT_TRUE(first.WaitForWindow()) << "Retry did not finish the start-up";
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

}  // namespace
}  // namespace kestrane::testing
