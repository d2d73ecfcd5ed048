#include <gtest/gtest.h>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"

namespace kestrane::testing {
namespace {

TEST(ExitEndToEnd, RightAfterAFirstStartTheBackupGoesFiveSecondsLater) {
  ClientFolder folder;
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  ASSERT_TRUE(folder.Has(L"l2.bak"));
  const auto click = run.Click(L"Exit");
  ASSERT_TRUE(run.WaitForExit(20000));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_GE(run.ExitTime() - click, 5000);
  EXPECT_LE(run.ExitTime() - click, 8000);
  EXPECT_FALSE(folder.Has(L"l2.bak"));
  EXPECT_FALSE(folder.Has(L"temp.dat"));
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

// As an earlier mode run leaves the folder when its restore could not happen.
TEST(ExitEndToEnd, AfterAModeRunTheWorkCopyAndBackupGoAndTheStoredSettingsReturn) {
  ClientFolder folder;
  folder.Write(L"l2.bak", folder.EncodedSettings());
  folder.Write(L"temp.dat", "[URL]\r\nIsL2NetLogin=True\r\n");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  folder.Write(L"l2.ini", "PATCHED SINCE START-UP");
  run.Click(L"Exit");
  ASSERT_TRUE(run.WaitForExit(20000));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(folder.Has(L"l2.bak"));
  EXPECT_FALSE(folder.Has(L"temp.dat"));
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

TEST(ExitEndToEnd, WithTheBackupRemovedByHandItOnlyRemovesTheWorkCopy) {
  ClientFolder folder;
  folder.Write(L"temp.dat", "[URL]\r\n");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  ASSERT_TRUE(DeleteFileW(folder.File(L"l2.bak").c_str()));
  folder.Write(L"l2.ini", "EDITED");
  run.Click(L"Exit");
  ASSERT_TRUE(run.WaitForExit(20000));
  EXPECT_EQ(run.ExitCode(), 0u) << "an error was reported";
  EXPECT_FALSE(folder.Has(L"temp.dat"));
  EXPECT_FALSE(folder.Has(L"l2.bak"));
  EXPECT_EQ(folder.Read(L"l2.ini"), "EDITED");
}

// A game update after Kestrane took its backup, done as the README says: l2.bak deleted before
// Kestrane starts again, which then takes the updated l2.ini as its backup and keeps it.
TEST(ExitEndToEnd, AnUpdateKeptByDeletingTheBackupBeforeTheNextStartSurvivesExit) {
  ClientFolder folder;
  {
    LauncherRun first(folder);
    ASSERT_TRUE(first.WaitForWindow());
  }
  ASSERT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
  folder.Write(L"l2.ini", "SETTINGS OF THE UPDATE");
  ASSERT_TRUE(DeleteFileW(folder.File(L"l2.bak").c_str()));
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  EXPECT_EQ(folder.Read(L"l2.ini"), "SETTINGS OF THE UPDATE");
  EXPECT_EQ(folder.Read(L"l2.bak"), "SETTINGS OF THE UPDATE");
  run.Click(L"Exit");
  ASSERT_TRUE(run.WaitForExit(20000));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(folder.Read(L"l2.ini"), "SETTINGS OF THE UPDATE");
}

}  // namespace
}  // namespace kestrane::testing
