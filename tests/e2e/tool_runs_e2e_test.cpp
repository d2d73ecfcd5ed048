#include <gtest/gtest.h>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"

namespace kestrane::testing {
namespace {

// The time of the first log line of the tool that starts with prefix.
std::int64_t ToolLogged(const ClientFolder& folder, const std::string& prefix) {
  const auto lines = folder.LogOf("l2encdec", prefix);
  return lines.empty() ? -1 : lines.front().ms;
}

enum class Slow { Decode, Encode };

// A slow run is waited for and the steps behind it move back by as much: the patch follows
// the decode's end, the client the encode's end, each after its own pause at the least. The
// client starts once and reads all the settings with the mode's four, in whatever text form
// the tool wrote them.
void ExpectSlowRunWaitedFor(ClientFolder& folder, Slow slow, const char* form) {
  folder.Write(slow == Slow::Decode ? L"l2encdec-decode.delay" : L"l2encdec-encode.delay", slow == Slow::Decode ? "8" : "6");
  folder.Write(L"l2encdec.form", form);
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  const auto click = run.Click(L"Game Mode");
  ASSERT_TRUE(run.WaitForExit(45000)) << "the program did not end";
  EXPECT_EQ(run.ExitCode(), 0u) << "an error was reported";
  const auto decoded = ToolLogged(folder, "done -d");
  const auto encodeStarted = ToolLogged(folder, "args=\"-e413");
  const auto encoded = ToolLogged(folder, "done -e413");
  const auto client = folder.LogOf("l2", "started");
  ASSERT_TRUE(decoded > 0 && encodeStarted > 0 && encoded > 0 && client.size() == 1) << "a step is missing";
  if (slow == Slow::Decode) {
    EXPECT_GE(decoded - click, 8000) << "the decode was not slow";
    ExpectWithin(encodeStarted - decoded, 3000, 3000 + kStartSlackMs, "the encode after the decode");
  } else {
    EXPECT_GE(encoded - encodeStarted, 6000) << "the encode was not slow";
    ExpectWithin(client[0].ms - encoded, 0, kStartSlackMs, "the client after the encode");
  }
  ExpectWithin(client[0].ms - encoded, 0, 3000 + kStartSlackMs, "the client after the encode");
  EXPECT_GE(run.ExitTime() - encoded, 5000) << "the restore came too early";
  EXPECT_EQ(ParseIni(folder.Read(L"client-seen.ini")), WithMode("True", "1"));
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

TEST(SlowToolEndToEnd, ADecodeEightSecondsLateInUtf16IsWaitedFor) {
  ClientFolder folder;
  ASSERT_NO_FATAL_FAILURE(ExpectSlowRunWaitedFor(folder, Slow::Decode, "utf-16le"));
}

TEST(SlowToolEndToEnd, AnEncodeSixSecondsLateFromUtf8WithAMarkIsWaitedFor) {
  ClientFolder folder;
  ASSERT_NO_FATAL_FAILURE(ExpectSlowRunWaitedFor(folder, Slow::Encode, "utf-8-bom"));
}

// A failed run: the box names the step, the command line, the exit code and the folder;
// the client never starts; "l2.ini" and "l2.bak" end as they were stored.
void ExpectStoppedWithReport(ClientFolder& folder, LauncherRun& run, std::int64_t click, const HWND box,
                             const std::vector<std::wstring>& reportHas) {
  ASSERT_TRUE(box) << "no error box";
  EXPECT_EQ(probe::Text(box), L"Kestrane");
  const std::wstring text = probe::MessageBoxText(box);
  for (const auto& part : reportHas) EXPECT_NE(text.find(part), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"Folder: " + folder.Path()), std::wstring::npos) << Narrow(text);
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings()) << "not restored while the box shows";
  probe::DismissMessageBox(box);
  ASSERT_TRUE(run.WaitForExit(10000));
  EXPECT_EQ(run.ExitCode(), 1u);
  EXPECT_TRUE(folder.LogOf("l2").empty()) << "the client was started";
  EXPECT_EQ(folder.Read(L"l2.bak"), folder.EncodedSettings());
  EXPECT_LT(UnixMsNow() - click, 90000);
}

TEST(ToolFailureEndToEnd, AFailingDecodeIsReportedAndNothingChanges) {
  ClientFolder folder;
  folder.Write(L"l2encdec-decode.fail", "");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  const auto click = run.Click(L"Game Mode");
  const HWND box = run.WaitForErrorBox(20000);
  ASSERT_NO_FATAL_FAILURE(ExpectStoppedWithReport(folder, run, click, box,
                                                  {L"The settings tool could not decode l2.ini.",
                                                   L"Command line: cmd /x /c l2encdec.exe -d l2.ini temp.dat", L"Exit code: 1"}));
  EXPECT_FALSE(folder.Has(L"temp.dat"));
}

TEST(ToolFailureEndToEnd, AnEncodeFailingHalfWayLeavesTheStoredSettings) {
  ClientFolder folder;
  folder.Write(L"l2encdec-encode.fail", "");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  const auto click = run.Click(L"Develop Mode");
  const HWND box = run.WaitForErrorBox(25000);
  ASSERT_TRUE(folder.WaitForLog("l2encdec", "failing the encode", 0)) << "the encode did not fail as told";
  ASSERT_NO_FATAL_FAILURE(ExpectStoppedWithReport(folder, run, click, box,
                                                  {L"The settings tool could not encode temp.dat into l2.ini.",
                                                   L"Command line: cmd /x /c l2encdec.exe -e413 temp.dat l2.ini", L"Exit code: 1"}));
}

// About a minute after its start the run is given up and ended with what it started, so
// that it can never write over the restored settings later.
TEST(ToolFailureEndToEnd, ADecodeThatNeverEndsIsGivenUpSixtySecondsAfterItsStart) {
  ClientFolder folder;
  folder.Write(L"l2encdec.hang", "");
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  const auto click = run.Click(L"Game Mode");
  ASSERT_TRUE(folder.WaitForLog("l2encdec", "hanging", 10000));
  const HWND box = run.WaitForErrorBox(75000);
  const auto shown = UnixMsNow();
  ExpectWithin(shown - click, 60000, 60000 + kStartSlackMs, "the error box");
  EXPECT_FALSE(ProcessRunning(L"l2encdec.exe")) << "the tool was left running";
  ASSERT_NO_FATAL_FAILURE(ExpectStoppedWithReport(folder, run, click, box,
                                                  {L"The settings tool did not finish within 60 seconds.",
                                                   L"Command line: cmd /x /c l2encdec.exe -d l2.ini temp.dat"}));
}

}  // namespace
}  // namespace kestrane::testing
