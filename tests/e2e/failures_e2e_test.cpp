#include <gtest/gtest.h>

#include <algorithm>

#include "app/box_catalogue.h"
#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"
#include "tests/standins/standin_common.h"
#include "tests/support/test_window.h"

namespace kestrane::testing {
namespace {

// The client holds "l2.ini" for about 7 s from its start, past the restore due at 16 s:
// the restore waits the lock out, and the player sees no box.
TEST(FailuresEndToEnd, ALockAroundTheRestoreIsWaitedOut) {
  ClientFolder folder;
  folder.Write(L"l2.hold", "7");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  run.Click(L"Game Mode");
  ASSERT_TRUE(run.WaitForExit(40000));
  EXPECT_EQ(run.ExitCode(), 0u) << "an error was reported";
  ASSERT_TRUE(folder.WaitForLog("l2", "let go", 0)) << "the client did not hold l2.ini";
  EXPECT_GE(run.ExitTime(), folder.LogOf("l2", "let go").front().ms) << "the restore did not wait for the lock";
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

// A lock that outlasts the retries: the box names the files and Windows' error and offers
// Retry and Cancel.
HWND WaitForInUseBox(ClientFolder& folder, LauncherRun& run) {
  folder.Write(L"l2.hold", "12");
  if (!run.WaitForWindow()) return nullptr;
  run.Click(L"Game Mode");
  const HWND box = run.WaitForErrorBox(40000);
  if (!box) return nullptr;
  const std::wstring text = probe::MessageBoxText(box);
  EXPECT_EQ(probe::Text(box), L"Kestrane");
  EXPECT_TRUE(GetDlgItem(box, IDRETRY) && GetDlgItem(box, IDCANCEL)) << "no Retry and Cancel";
  EXPECT_TRUE(text.starts_with(Widen(FirstLine(Box::FileInUse)))) << Narrow(text);
  EXPECT_NE(text.find(folder.File(L"l2.bak")), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(folder.File(L"l2.ini")), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(Widen(StandingText(Standing::ModeInIni))), std::wstring::npos) << Narrow(text);
  // Windows' own error: a replace refused as access denied, or a sharing violation.
  EXPECT_TRUE(text.find(L" (5)") != std::wstring::npos || text.find(L" (32)") != std::wstring::npos) << Narrow(text);
  // The buttons are named as the box shows them, or by their place where Windows does not
  // give its captions (Wine's user32 has no MB_GetString) in a language other than English.
  const bool captionsGiven = GetProcAddress(GetModuleHandleW(L"user32.dll"), "MB_GetString") != nullptr ||
                             PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH;
  for (const int button : {IDRETRY, IDCANCEL}) {
    std::wstring caption = probe::Text(GetDlgItem(box, button));
    std::erase(caption, L'&');
    if (!captionsGiven) caption = button == IDRETRY ? L"press the left button." : L"The right button ends Kestrane.";
    EXPECT_NE(text.find(caption), std::wstring::npos) << "the box does not name " << Narrow(caption) << ":\n" << Narrow(text);
  }
  EXPECT_FALSE(run.WaitForExit(500)) << "the program ended before the player answered";
  return box;
}

// On a Russian Windows (the group runs Wine with a Russian display) the box speaks Russian:
// its own words, its buttons named as a Russian Windows names them (Wine gives no captions,
// and its own Russian Retry differs: "Повтор"), and Windows' own line.
TEST(LanguageEndToEnd, AHeldRestoreBoxSpeaksTheDisplaysLanguage) {
  ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_RUSSIAN) << "run with a Russian display (KESTRANE_WINE_LOCALE)";
  const Texts russian("ru");
  ASSERT_EQ(russian.Code(), "ru");
  ClientFolder folder;
  folder.Write(L"l2.hold", "12");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  run.Click(L"Game Mode");
  const HWND box = run.WaitForErrorBox(40000);
  ASSERT_TRUE(box);
  const std::wstring text = probe::MessageBoxText(box);
  EXPECT_TRUE(text.starts_with(Widen(FirstLine(Box::FileInUse, russian)))) << Narrow(text);
  EXPECT_NE(text.find(Widen(StandingText(Standing::ModeInIni, russian))), std::wstring::npos) << Narrow(text);
  const ButtonNames named{std::string(russian[TextId::button_retry]), std::string(russian[TextId::button_cancel])};
  EXPECT_NE(text.find(Widen(Filled(russian[TextId::sentence_then_retry], named))), std::wstring::npos) << Narrow(text);
  const std::wstring windowsLine = text.substr(text.rfind(L'\n') + 1);
  EXPECT_TRUE(std::ranges::any_of(windowsLine, [](wchar_t c) { return c >= 0x0400 && c <= 0x04ff; }))
      << "Windows' line is not Russian: " << Narrow(windowsLine);
  ASSERT_TRUE(folder.WaitForLog("l2", "let go", 20000));
  probe::AnswerMessageBox(box, IDRETRY);
  ASSERT_TRUE(run.WaitForExit(15000));
  EXPECT_EQ(run.ExitCode(), 0u);
}

TEST(FailuresEndToEnd, RetryAfterTheClientLetGoRestoresAndEndsNormally) {
  ClientFolder folder;
  LauncherRun run(folder);
  const HWND box = WaitForInUseBox(folder, run);
  ASSERT_TRUE(box);
  ASSERT_TRUE(folder.WaitForLog("l2", "let go", 20000));
  probe::AnswerMessageBox(box, IDRETRY);
  ASSERT_TRUE(run.WaitForExit(15000));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(probe::FindMessageBox(run.ProcessId()));
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

TEST(FailuresEndToEnd, CancelEndsKeepsTheBackupAndTheNextStartRecovers) {
  ClientFolder folder;
  {
    LauncherRun run(folder);
    const HWND box = WaitForInUseBox(folder, run);
    ASSERT_TRUE(box);
    probe::AnswerMessageBox(box, IDCANCEL);
    ASSERT_TRUE(run.WaitForExit(10000)) << "the program did not end after Cancel";
    EXPECT_EQ(run.ExitCode(), 1u);
  }
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
  ASSERT_TRUE(folder.WaitForLog("l2", "let go", 20000));
  EXPECT_NE(folder.Read(L"l2.ini"), folder.EncodedSettings()) << "expected the patched settings to remain";
  LauncherRun next(folder);
  ASSERT_TRUE(next.WaitForWindow());
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

// The restore's box comes up while another program (the game) is in front: it is kept above
// it, and a second start of Kestrane, the player looking for it, brings it forward. Wine
// shows neither the foreground lock nor a taskbar, so the flash itself is Windows' alone.
TEST(FailuresEndToEnd, ABoxBehindTheGameStaysAboveItAndASecondStartBringsItForward) {
  ClientFolder folder;
  folder.Write(L"l2.hold", "14");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  run.Click(L"Game Mode");
  ASSERT_TRUE(folder.WaitForLog("l2", "window shown", 30000));
  TestWindow game;
  ASSERT_TRUE(TakeForeground(game.Handle()));
  const HWND box = run.WaitForErrorBox(30000);
  ASSERT_TRUE(box);
  EXPECT_TRUE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the box came up below the game";
  ASSERT_TRUE(TakeForeground(game.Handle()));
  {
    LauncherRun second(folder);
    ASSERT_TRUE(second.WaitForExit(15000)) << "the second start did not end";
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_FALSE(probe::FindFormWindow(second.ProcessId()));
  }
  EXPECT_TRUE(WaitForForeground(box, 3000)) << "the first one's box was not brought forward";
  ASSERT_TRUE(folder.WaitForLog("l2", "let go", 20000));
  probe::AnswerMessageBox(box, IDRETRY);
  ASSERT_TRUE(run.WaitForExit(15000));
  EXPECT_EQ(run.ExitCode(), 0u);
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

// The client keeps "l2.ini" mapped past the restore. The stored settings hold the Game
// values, so Develop Mode's are longer and the restore must shorten the file, which a mapped
// file refuses: it is left whole with the mode's settings, and the box says that another
// program holds it. After Cancel, once the client has ended, the next start puts the
// settings back.
TEST(FailuresEndToEnd, ASettingsFileMappedPastTheRestoreIsNeverTornAndTheNextStartRecovers) {
  ClientFolder folder;
  std::string stored = ClientFolder::kPlainSettings;
  for (const std::string key : {"IsL2NetLogin", "IsL2Console", "IsUseCommand"})
    stored.replace(stored.find(key + "=False"), key.size() + 6, key + "=True");
  folder.Write(L"l2.ini", standin::Encode(stored, 413));
  folder.Write(L"l2.map", "25");
  {
    LauncherRun run(folder);
    ASSERT_TRUE(run.WaitForWindow());
    run.Click(L"Develop Mode");
    const HWND box = run.WaitForErrorBox(40000);
    ASSERT_TRUE(box) << "no box";
    ASSERT_TRUE(folder.WaitForLog("l2", "mapping l2.ini", 0)) << "the client did not map l2.ini";
    const std::wstring text = probe::MessageBoxText(box);
    EXPECT_TRUE(text.starts_with(Widen(FirstLine(Box::FileInUse)))) << Narrow(text);
    EXPECT_NE(text.find(folder.File(L"l2.ini")), std::wstring::npos) << Narrow(text);
    const auto decoded = standin::Decode(folder.Read(L"l2.ini"));
    ASSERT_TRUE(decoded) << "l2.ini was torn";
    EXPECT_EQ(ParseIni(standin::AsPlainText(*decoded)), ParseIni(ClientFolder::kPlainSettings)) << "l2.ini was torn";
    probe::AnswerMessageBox(box, IDCANCEL);
    ASSERT_TRUE(run.WaitForExit(10000));
    EXPECT_EQ(run.ExitCode(), 1u);
  }
  ASSERT_TRUE(folder.WaitForLog("l2", "let go", 30000));
  LauncherRun next(folder);
  ASSERT_TRUE(next.WaitForWindow());
  EXPECT_EQ(folder.Read(L"l2.ini"), standin::Encode(stored, 413));
  EXPECT_EQ(folder.Read(L"l2.bak"), standin::Encode(stored, 413));
}

// l2.bak deleted behind Kestrane's back after the encode, then a client that is no program:
// the box says that l2.ini holds the mode's settings, that the next start would keep them,
// and Windows' line names the program instead of an insert.
TEST(FailuresEndToEnd, NoBackupAndAClientThatCannotStartTellWhatTheNextStartWouldKeep) {
  ClientFolder folder;
  folder.Write(L"l2.exe", "this is no program\r\n");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  run.Click(L"Game Mode");
  ASSERT_TRUE(folder.WaitForLog("l2encdec", "done -e413", 20000));
  ASSERT_TRUE(DeleteFileW(folder.File(L"l2.bak").c_str()));
  const HWND box = run.WaitForErrorBox(20000);
  ASSERT_TRUE(box) << "no box";
  const std::wstring text = probe::MessageBoxText(box);
  EXPECT_TRUE(text.starts_with(Widen(FirstLine(Box::ProgramNotStarted)))) << Narrow(text);
  EXPECT_NE(text.find(Widen(StandingText(Standing::ModeKeptNoBackup))), std::wstring::npos) << Narrow(text);
  EXPECT_EQ(text.find(L"%1"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"(193)"), std::wstring::npos) << Narrow(text);
  probe::AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(run.WaitForExit(10000));
  EXPECT_EQ(run.ExitCode(), 1u);
  const auto decoded = standin::Decode(folder.Read(L"l2.ini"));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(ParseIni(standin::AsPlainText(*decoded)), WithMode("True", "1")) << "the box said the mode's settings stay";
  EXPECT_FALSE(folder.Has(L"l2.bak"));
}

// Kestrane ended from outside while a slow encode runs: the encode goes with it, so that
// nothing can write the mode's settings over what the next start puts back.
TEST(FailuresEndToEnd, KilledDuringASlowEncodeLeavesNoToolAndTheNextStartRecovers) {
  ClientFolder folder;
  folder.Write(L"l2encdec-encode.delay", "8");
  {
    LauncherRun run(folder);
    ASSERT_TRUE(run.WaitForWindow());
    run.Click(L"Game Mode");
    ASSERT_TRUE(folder.WaitForLog("l2encdec", "args=\"-e413", 20000));
  }  // killed here
  int waited = 0;
  while (ProcessRunning(L"l2encdec.exe") && waited < 5000) {
    Sleep(50);
    waited += 50;
  }
  EXPECT_FALSE(ProcessRunning(L"l2encdec.exe")) << "the encode outlived Kestrane";
  LauncherRun next(folder);
  ASSERT_TRUE(next.WaitForWindow());
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
  EXPECT_TRUE(folder.LogOf("l2encdec", "done -e413").empty()) << "the orphaned encode finished";
  EXPECT_TRUE(folder.LogOf("l2").empty()) << "the client was started";
}

// Windows' logoff, 10 s into Game Mode (after the encode): the stored settings are back as
// soon as the end-session message returns, and the program is gone.
TEST(SessionEndToEnd, ALogoffDuringGameModePutsTheSettingsBackBeforeItReturns) {
  ClientFolder folder;
  LauncherRun run(folder);
  const HWND window = run.WaitForWindow();
  ASSERT_TRUE(window);
  run.Click(L"Game Mode");
  ASSERT_TRUE(folder.WaitForLog("l2encdec", "done -e413", 15000));
  Sleep(1000);
  ASSERT_NE(folder.Read(L"l2.ini"), folder.EncodedSettings()) << "the encode did not patch l2.ini";
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the logoff was refused";
  SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
  ASSERT_TRUE(run.WaitForExit(5000)) << "the program went on after the session ended";
  EXPECT_TRUE(folder.LogOf("l2").empty()) << "the client was started during the logoff";
}

// Under Wine a click posted to a disabled button still reaches the window.
TEST(SessionEndToEnd, TwoClicksBackToBackRunOneSequence) {
  ClientFolder folder;
  LauncherRun run(folder);
  const HWND window = run.WaitForWindow();
  ASSERT_TRUE(window);
  const HWND game = probe::FindButton(window, L"Game Mode");
  probe::Click(game);
  probe::Click(game);
  ASSERT_TRUE(run.WaitForExit(30000));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(folder.LogOf("l2encdec", "args=\"-d").size(), 1u);
  EXPECT_EQ(folder.LogOf("l2encdec", "args=\"-e413").size(), 1u);
  EXPECT_EQ(folder.LogOf("l2", "started").size(), 1u);
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

TEST(SessionEndToEnd, ExitThenGameModeBackToBackCompletesExitAndNeverRunsTheTool) {
  ClientFolder folder;
  LauncherRun run(folder);
  const HWND window = run.WaitForWindow();
  ASSERT_TRUE(window);
  probe::Click(probe::FindButton(window, L"Exit"));
  probe::Click(probe::FindButton(window, L"Game Mode"));
  ASSERT_TRUE(run.WaitForExit(20000));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(folder.Has(L"l2.bak"));
  EXPECT_TRUE(folder.Log().empty()) << "the tool or the client ran";
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

}  // namespace
}  // namespace kestrane::testing
