#include <gtest/gtest.h>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"

namespace kestrane::testing {
namespace {

// The client holds "l2.ini" open without sharing past the restore: the failure is
// reported in full, the program ends, and the backup survives for the next start.
TEST(FailuresEndToEnd, ARestoreBlockedByTheClientIsReportedAndTheNextStartRecovers) {
  ClientFolder folder;
  folder.Write(L"l2.hold", "10");
  {
    LauncherRun run(folder);
    ASSERT_TRUE(run.WaitForWindow());
    run.Click(L"Game Mode");
    const HWND box = run.WaitForErrorBox(30000);
    ASSERT_TRUE(box) << "no error report";
    const std::wstring text = probe::MessageBoxText(box);
    EXPECT_EQ(probe::Text(box), L"Kestrane");
    EXPECT_NE(text.find(L"could not copy a file"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(folder.File(L"l2.bak")), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(folder.File(L"l2.ini")), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"Windows error 32: "), std::wstring::npos) << Narrow(text);
    EXPECT_GT(text.size(), text.find(L"Windows error 32: ") + 20) << "the error's text is missing";
    EXPECT_FALSE(run.WaitForExit(500)) << "the program ended before the report was dismissed";
    probe::DismissMessageBox(box);
    ASSERT_TRUE(run.WaitForExit(10000)) << "the program did not end after the report";
    EXPECT_EQ(run.ExitCode(), 1u);
  }
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
  ASSERT_TRUE(folder.WaitForLog("l2", "let go", 20000));
  EXPECT_NE(folder.Read(L"l2.ini"), folder.EncodedSettings()) << "expected the patched settings to remain";
  LauncherRun next(folder);
  ASSERT_TRUE(next.WaitForWindow());
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

TEST(FailuresEndToEnd, KilledBetweenTheEncodeAndTheRestoreTheNextStartRecovers) {
  ClientFolder folder;
  {
    LauncherRun run(folder);
    ASSERT_TRUE(run.WaitForWindow());
    run.Click(L"Game Mode");
    ASSERT_TRUE(folder.WaitForLog("l2", "exiting", 20000));
    EXPECT_FALSE(run.WaitForExit(0)) << "the program ended before the restore was due";
  }  // killed here
  EXPECT_NE(folder.Read(L"l2.ini"), folder.Read(L"l2.bak"));
  LauncherRun next(folder);
  ASSERT_TRUE(next.WaitForWindow());
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.Read(L"l2.bak"));
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
}

}  // namespace
}  // namespace kestrane::testing
