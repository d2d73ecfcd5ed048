#include <gtest/gtest.h>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"

namespace kestrane::testing {
namespace {

// A whole mode run from the click, checked from the files and the stand-ins' logs.
void RunModeAndCheck(ClientFolder& folder, LauncherRun& run, const std::wstring& button, const IniContents& expected) {
  ASSERT_TRUE(run.WaitForWindow()) << "no window";
  const auto click = run.Click(button);
  ASSERT_TRUE(run.WaitForExit(30000)) << "the program did not end after the sequence";
  EXPECT_EQ(run.ExitCode(), 0u);
  ExpectWithin(run.ExitTime() - click, 16000, 16000 + kStartSlackMs, "the end");

  const auto tool = folder.LogOf("l2encdec", "args=");
  ASSERT_EQ(tool.size(), 2u) << "the tool should run twice";
  EXPECT_TRUE(tool[0].text.starts_with("args=\"-d l2.ini temp.dat\"")) << tool[0].text;
  EXPECT_TRUE(tool[1].text.starts_with("args=\"-e413 temp.dat l2.ini\"")) << tool[1].text;
  EXPECT_NE(tool[0].text.find("cwd=\"" + Narrow(folder.Path()) + "\""), std::string::npos) << tool[0].text;
  ExpectWithin(tool[0].ms - click, 0, kStartSlackMs, "the decode");
  ExpectWithin(tool[1].ms - click, 8000, 8000 + kStartSlackMs, "the encode");

  const auto client = folder.LogOf("l2", "started");
  ASSERT_EQ(client.size(), 1u) << "the client should start once";
  ExpectWithin(client[0].ms - click, 11000, 11000 + kStartSlackMs, "the client's start");
  EXPECT_TRUE(client[0].text.starts_with("started show=2 ")) << "not started minimised: " << client[0].text;

  EXPECT_EQ(ParseIni(folder.Read(L"client-seen.ini")), expected) << "what the client read";
  EXPECT_EQ(ParseIni(folder.Read(L"temp.dat")), expected) << "the work copy";
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.Read(L"l2.bak"));
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
}

TEST(ModesEndToEnd, GameModeStartsTheClientWithTheGameSettingsOnce) {
  ClientFolder folder;
  LauncherRun run(folder);
  ASSERT_NO_FATAL_FAILURE(RunModeAndCheck(folder, run, L"Game Mode", WithMode("True", "1")));
}

// A "cmd.exe" dropped beside the client must never run in place of the system's.
TEST(ModesEndToEnd, DevelopModeWorksAndAPlantedCommandInterpreterNeverRuns) {
  ClientFolder folder;
  folder.CopyProgram(L"planted_program.exe", L"cmd.exe");
  LauncherRun run(folder);
  ASSERT_NO_FATAL_FAILURE(RunModeAndCheck(folder, run, L"Develop Mode", WithMode("False", "0")));
  EXPECT_FALSE(folder.Has(L"PLANTED-RAN.txt")) << "the planted cmd.exe ran";
}

TEST(ModesEndToEnd, StartedFromAnotherWorkingFolderTheModeTakesEffectInItsOwn) {
  ClientFolder folder;
  ScratchFolder elsewhere(L"kestrane-elsewhere");
  LauncherRun run(folder, elsewhere.Path());
  ASSERT_NO_FATAL_FAILURE(RunModeAndCheck(folder, run, L"Game Mode", WithMode("True", "1")));
  EXPECT_FALSE(GetFileAttributesW(elsewhere.File(L"temp.dat").c_str()) != INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(GetFileAttributesW(elsewhere.File(L"l2.bak").c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST(ModesEndToEnd, GameModeInAFolderNamedBeyondTheAnsiCodePage) {
  ClientFolder folder(L"Клиент игры-ゲームクライアント");
  LauncherRun run(folder);
  ASSERT_NO_FATAL_FAILURE(RunModeAndCheck(folder, run, L"Game Mode", WithMode("True", "1")));
}

// A folder named in the player's own alphabet, as deep as players have them: about 200
// characters as Windows counts them, far more in bytes of UTF-8.
TEST(ModesEndToEnd, GameModeInADeepFolderNamedInCyrillic) {
  std::wstring leaf = L"Мои игры\\";
  while (leaf.size() < 80) leaf += L"Линейка";
  leaf += L"\\";
  while (leaf.size() < 178) leaf += L"Клиент";
  ClientFolder folder(leaf);
  ASSERT_GE(folder.Path().size(), 195u);
  ASSERT_LT(folder.Path().size() + std::wstring(L"\\temp.dat.kestrane-partial").size(), 260u);
  ASSERT_GT(Narrow(folder.Path()).size(), 260u) << "the path is not longer in bytes than Windows' limit";
  LauncherRun run(folder);
  ASSERT_NO_FATAL_FAILURE(RunModeAndCheck(folder, run, L"Game Mode", WithMode("True", "1")));
}

// A file of the folder check's old name, or of its first new one, read-only: no folder's
// refusal, and the mode runs.
TEST(ModesEndToEnd, GameModeRunsBesideAReadOnlyFileOfTheFolderChecksName) {
  ClientFolder folder;
  for (const wchar_t* name : {L"kestrane-check.tmp", L"kestrane-check-1.tmp"}) {
    folder.Write(name, "");
    SetFileAttributesW(folder.File(name).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  LauncherRun run(folder);
  ASSERT_NO_FATAL_FAILURE(RunModeAndCheck(folder, run, L"Game Mode", WithMode("True", "1")));
}

// Closing mid-action neither hangs nor leaves the settings patched.
TEST(ModesEndToEnd, CloseRequestsDuringGameModeAreIgnoredAndTheSequenceCompletes) {
  ClientFolder folder;
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  const HWND window = probe::FindFormWindow(run.ProcessId());
  const auto click = run.Click(L"Game Mode");
  Sleep(2000);
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(folder.WaitForLog("l2", "started", 20000));
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(run.WaitForExit(20000)) << "the program hung";
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_GE(run.ExitTime() - click, 16000) << "the close cut the sequence short";
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.Read(L"l2.bak"));
  EXPECT_EQ(ParseIni(folder.Read(L"client-seen.ini")), WithMode("True", "1"));
}

// A client slow to start (a cold disk, a scanner looking at it) reads its settings 8 s
// after its start, past the planned restore: the restore waits for it, without a box.
TEST(ModesEndToEnd, AClientThatReadsItsSettingsLateStillGetsTheMode) {
  ClientFolder folder;
  folder.Write(L"l2.late", "8");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  const auto click = run.Click(L"Game Mode");
  ASSERT_TRUE(run.WaitForExit(60000));
  EXPECT_EQ(run.ExitCode(), 0u) << "an error was reported";
  const auto read = folder.LogOf("l2", "reading l2.ini");
  ASSERT_EQ(read.size(), 2u);
  ExpectWithin(read[1].ms - click, 19000, 19000 + kStartSlackMs, "the client's read");
  EXPECT_GE(run.ExitTime(), read[1].ms) << "the restore came before the client read its settings";
  EXPECT_EQ(ParseIni(folder.Read(L"client-seen.ini")), WithMode("True", "1"));
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.Read(L"l2.bak"));
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
}

// Standing in for a virus scanner: another process holds the fresh work copy for 6 s from
// the moment the decode let go of it, without sharing, and, as most scanners do, sharing
// everything (Windows still will not replace a file that is open, and says "access denied").
TEST(ModesEndToEnd, AWorkCopyHeldAfterTheDecodeIsWaitedForHoweverItIsShared) {
  for (const DWORD sharing : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    SCOPED_TRACE(sharing ? "sharing everything" : "without sharing");
    ClientFolder folder;
    LauncherRun run(folder);
    ASSERT_TRUE(run.WaitForWindow());
    run.Click(L"Game Mode");
    UniqueHandle held;
    for (int waited = 0; !held.Valid() && waited < 10000; waited += 10) {
      held.Reset(CreateFileW(folder.File(L"temp.dat").c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
      if (!held.Valid()) Sleep(10);
    }
    ASSERT_TRUE(held.Valid()) << "the decode wrote no temp.dat";
    Sleep(6000);
    held.Reset();
    ASSERT_TRUE(run.WaitForExit(40000));
    EXPECT_EQ(run.ExitCode(), 0u) << "an error was reported";
    EXPECT_FALSE(probe::FindMessageBox(run.ProcessId()));
    EXPECT_EQ(ParseIni(folder.Read(L"client-seen.ini")), WithMode("True", "1"));
    EXPECT_EQ(folder.Read(L"l2.ini"), folder.Read(L"l2.bak"));
  }
}

}  // namespace
}  // namespace kestrane::testing
