#include <gmock/gmock.h>

#include "client/client_files.h"
#include "client/mode_launch.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kDecode[] = "cmd /x /c l2encdec.exe -d l2.ini temp.dat";
constexpr char kEncode[] = "cmd /x /c l2encdec.exe -e413 temp.dat l2.ini";
constexpr char kPlain[] = "[URL]\r\nServerPort=2106\r\nIsL2NetLogin=False\r\n[Video]\r\nWidth=1280\r\n";
constexpr char kGamePatched[] =
    "[URL]\r\nServerPort=2106\r\nIsL2NetLogin=True\r\nIsL2Console=True\r\nIsUseCommand=True\r\nL2ThreadFilter=1\r\n"
    "[Video]\r\nWidth=1280\r\n";

class ModeLaunchTest : public FakeFormTest {
 protected:
  ModeLaunchTest() {
    PutClientFolder("STORED");
    fake.PutFile("l2.bak", "STORED");
    ModelTool(kPlain);
  }

  // When each program was started and when the restore and the end came.
  std::vector<std::string> Timeline() const {
    std::vector<std::string> out;
    for (const auto& call : fake.CallsOf({"Start", "Write", "Copy", "End"}))
      out.push_back(std::to_string(call.atMs) + " " + call.op + " " + call.args[0]);
    return out;
  }
  bool ClientStarted() const {
    for (const auto& call : fake.CallsOf({"Start"}))
      if (call.args[0] == "l2.exe") return true;
    return false;
  }
};

TEST_F(ModeLaunchTest, GameModeKeepsItsTimelineReachesTheClientAndEndsWithTheStoredSettings) {
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_FALSE(ended.failed) << ended.report;
  EXPECT_THAT(Timeline(), ElementsAre(std::string("0 Start ") + kDecode, "5000 Write C:\\Games\\Client/temp.dat",
                                      std::string("8000 Start ") + kEncode, "11000 Start l2.exe",
                                      "16000 Copy l2.bak", "16000 End 0"));
  EXPECT_EQ(fake.FileBytes("temp.dat"), kGamePatched);
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  EXPECT_EQ(fake.FileBytes("l2.bak"), "STORED");
  EXPECT_TRUE(fake.CallsOf({"ErrorBox", "StopRun"}).empty());
}

TEST_F(ModeLaunchTest, DevelopModeWritesTheDevelopValues) {
  RunToEnd(DevelopModeClick);
  EXPECT_EQ(fake.FileBytes("temp.dat"),
            "[URL]\r\nServerPort=2106\r\nIsL2NetLogin=False\r\nIsL2Console=False\r\nIsUseCommand=False\r\n"
            "L2ThreadFilter=0\r\n[Video]\r\nWidth=1280\r\n");
}

// The pauses are minimums: a slow decode or encode is waited for, and the steps behind it
// move back by as much, each keeping its own pause. Time asleep counts for no bound.
struct ToolTimingCase {
  const char* name;
  std::int64_t decodeMs, encodeMs;
  std::int64_t sleepAtMs, sleepForMs;  // the machine sleeps then, for that long
  std::vector<std::string> timeline;
};

void PrintTo(const ToolTimingCase& c, std::ostream* out) { *out << c.name; }

class ToolTimingTest : public ModeLaunchTest, public ::testing::WithParamInterface<ToolTimingCase> {};

TEST_P(ToolTimingTest, TheToolIsWaitedForAndTheModeStillTakesEffect) {
  const ToolTimingCase& c = GetParam();
  ModelTool(kPlain, c.decodeMs, c.encodeMs);
  if (c.sleepForMs) fake.SleepAt(c.sleepAtMs, c.sleepForMs);
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_FALSE(ended.failed) << ended.report;
  EXPECT_EQ(Timeline(), c.timeline);
  EXPECT_EQ(fake.FileBytes("temp.dat"), kGamePatched);
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
}

const ToolTimingCase kToolTimings[] = {
    {"ASlowDecodeAndASlowEncode", 8000, 6000, 0, 0,
     {std::string("0 Start ") + kDecode, "8000 Write C:\\Games\\Client/temp.dat", std::string("11000 Start ") + kEncode,
      "17000 Start l2.exe", "22000 Copy l2.bak", "22000 End 0"}},
    // A lid closed for two minutes while the decode runs: on waking the decode still has its time.
    {"TheMachineSleepsDuringTheDecode", 3000, 1000, 2000, 120000,
     {std::string("0 Start ") + kDecode, "3000 Write C:\\Games\\Client/temp.dat", std::string("6000 Start ") + kEncode,
      "9000 Start l2.exe", "14000 Copy l2.bak", "14000 End 0"}},
};

std::string ToolTimingName(const ::testing::TestParamInfo<ToolTimingCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(SlowOrAsleep, ToolTimingTest, ::testing::ValuesIn(kToolTimings), ToolTimingName);

TEST_F(ModeLaunchTest, CloseRequestsDuringTheSequenceAndItsToolWaitAreRefused) {
  ModelTool(kPlain, 7000);
  std::vector<bool> answers;
  for (std::int64_t at : {100, 6000, 15900}) fake.At(at, [&] { answers.push_back(FormQueryClose()); });
  RunToEnd(GameModeClick);
  EXPECT_THAT(answers, ElementsAre(false, false, false));
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
}

// The bounds as the boxes and the timelines give them.
const std::string kToolLate = "did not finish within " + std::to_string(kToolTimeoutSeconds) + " seconds";
const std::string kClientLate = "had not finished starting within " + std::to_string(kClientReadySeconds) + " seconds";
constexpr std::int64_t kToolBoundMs = std::int64_t{kToolTimeoutSeconds} * 1000;
constexpr std::int64_t kEncodeStartsAtMs = (kPauseAfterDecodeSeconds + kPauseAfterPatchSeconds) * 1000;

// Each way a step can fail: the sequence stops there, puts the stored settings back,
// never starts the client, keeps the backup, and tells the player which step failed.
struct StopCase {
  const char* name;
  std::function<void(FakePlatformOps&)> arrange;
  std::vector<std::string> reportHas;
  std::int64_t stopsAtMs;
};

void PrintTo(const StopCase& stop, std::ostream* out) { *out << stop.name; }

class ModeLaunchStopTest : public ModeLaunchTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ModeLaunchStopTest, StopsRestoresAndNeverStartsTheClient) {
  GetParam().arrange(fake);
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_TRUE(ended.failed);
  for (const auto& part : GetParam().reportHas) EXPECT_THAT(ended.report, HasSubstr(part));
  EXPECT_FALSE(ClientStarted());
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  EXPECT_EQ(fake.FileBytes("l2.bak"), "STORED");
  EXPECT_EQ(fake.NowMs(), GetParam().stopsAtMs);
  EXPECT_EQ(fake.CallsOf({"ErrorBox"}).size(), 1u);
}

const StopCase kStopCases[] = {
    {"DecodeFailsWithItsExitCode",
     [](FakePlatformOps& f) { f.ScriptRun(kDecode, {300, 1, nullptr}); },
     {"The settings tool could not decode l2.ini.", std::string("Command line: ") + kDecode, "Exit code: 1",
      "Folder: C:\\Games\\Client"},
     5000},
    {"DecodeEndsWellButWritesNothing",
     [](FakePlatformOps& f) { f.ScriptRun(kDecode, {300, 0, nullptr}); },
     {"could not decode l2.ini", "Exit code: 0", "repair l2encdec.exe"},
     5000},
    {"AStaleWorkCopyNeverPassesForThisRunsOutput",
     [](FakePlatformOps& f) {
       f.PutFile("temp.dat", kPlain);
       f.ScriptRun(kDecode, {300, 0, nullptr});
     },
     {"could not decode l2.ini", "The game was not started"},
     5000},
    {"DecodeWritesAnEmptyWorkCopy",
     [](FakePlatformOps& f) { f.ScriptRun(kDecode, {300, 0, [&f] { f.PutFile("temp.dat", ""); }}); },
     {"could not decode l2.ini"},
     5000},
    {"DecodeThatNeverEndsIsStoppedSixtySecondsAfterItsStart",
     [](FakePlatformOps& f) { f.ScriptRun(kDecode, {-1, 0, nullptr}); },
     {"The settings tool " + kToolLate + ".", std::string("Command line: ") + kDecode},
     kToolBoundMs},
    {"DecodeThatEndsTooLateCountsAsNotFinished",
     [](FakePlatformOps& f) { f.ScriptRun(kDecode, {kToolBoundMs + 1000, 0, [&f] { f.PutFile("temp.dat", kPlain); }}); },
     {kToolLate},
     kToolBoundMs},
    {"APatchThatChangedAnotherSetting",
     [](FakePlatformOps& f) {
       f.TamperWithWrite("C:\\Games\\Client/temp.dat", [](std::string& bytes) {
         bytes.replace(bytes.find("Width=1280"), 10, "Width=640");
       });
     },
     {"did not read back from temp.dat", "File: C:\\Games\\Client\\temp.dat"},
     5000},
    {"AWorkCopyThatCannotBePatchedSafely",
     [](FakePlatformOps& f) {
       f.ScriptRun(kDecode, {300, 0, [&f] { f.PutFile("temp.dat", std::string("[\0U\0R\0L\0]\0", 10)); }});
     },
     {"in a form Kestrane cannot change safely", "repair l2encdec.exe"},
     5000},
    {"EncodeFailsHalfWayWithItsExitCode",
     [](FakePlatformOps& f) { f.ScriptRun(kEncode, {500, 1, [&f] { f.PutFile("l2.ini", "ENCODED:[UR"); }}); },
     {"The settings tool could not encode temp.dat into l2.ini.", std::string("Command line: ") + kEncode,
      "Exit code: 1"},
     11000},
    {"EncodeEndsWellButLeavesTheSettingsFileAsItWas",
     [](FakePlatformOps& f) { f.ScriptRun(kEncode, {500, 0, nullptr}); },
     {"could not encode", "your settings are as they were"},
     11000},
    {"EncodeThatNeverEnds",
     [](FakePlatformOps& f) { f.ScriptRun(kEncode, {-1, 0, nullptr}); },
     {kToolLate, std::string("Command line: ") + kEncode},
     kEncodeStartsAtMs + kToolBoundMs},
};

std::string StopCaseName(const ::testing::TestParamInfo<StopCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(EachStep, ModeLaunchStopTest, ::testing::ValuesIn(kStopCases), StopCaseName);

TEST_F(ModeLaunchTest, ARunThatTimesOutIsStoppedSoThatItCannotWriteAfterTheRestore) {
  fake.ScriptRun(kEncode, {-1, 0, nullptr});
  fake.At(9000, [&] { fake.PutFile("l2.ini", "HALF-WRITTEN"); });
  RunToEnd(GameModeClick);
  EXPECT_THAT(Trace({"StopRun", "Copy"}), ElementsAre("StopRun 2", "Copy l2.bak l2.ini"));
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
}

// An l2.bak deleted while the mode runs (by hand, or a cleaner) cannot be put back: the box says
// so, at the restore and at a stop after a failed decode, and never claims it was put back.
class BackupDeletedTest : public ModeLaunchTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BackupDeletedTest, IsToldNeverClaimed) {
  const bool decodeFails = GetParam();
  if (decodeFails) fake.ScriptRun(kDecode, {300, 1, nullptr});
  fake.At(decodeFails ? 200 : 12000, [&] { fake.RemoveFile("l2.bak"); });
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_TRUE(ended.failed) << "the mode ended without a word";
  EXPECT_THAT(ended.report, HasSubstr(decodeFails ? "The game was not started, and l2.ini was not changed." : "l2.bak was gone"));
  EXPECT_THAT(ended.report, ::testing::Not(HasSubstr("put back from l2.bak")));
  EXPECT_EQ(fake.CallsOf({"ErrorBox"}).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(AtTheRestoreAndAtAStop, BackupDeletedTest, ::testing::Bool());

TEST_F(ModeLaunchTest, AFailedRestoreAfterAFailedStepIsToldToThePlayer) {
  fake.ScriptRun(kDecode, {300, 1, [&] { fake.PutFile("l2.ini", "HALF-WRITTEN"); }});
  fake.FailOn("Copy", "l2.bak");
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_THAT(ended.report, AllOf(HasSubstr("could not decode"), HasSubstr("l2.ini may hold what the settings tool wrote")));
}

// The restore waits for a windowed client to finish starting, up to its bound after its start
// at 11 s.
struct ClientCase {
  const char* name;
  FakeRunScript client;
  std::int64_t restoreAtMs;
  bool box;
};

void PrintTo(const ClientCase& c, std::ostream* out) { *out << c.name; }

class ClientReadyTest : public ModeLaunchTest, public ::testing::WithParamInterface<ClientCase> {};

TEST_P(ClientReadyTest, TheRestoreComesOnceTheClientHasStartedOrAtTheBound) {
  const ClientCase& c = GetParam();
  std::string seenAtReady;
  FakeRunScript client = c.client;
  fake.ScriptRun("l2.exe", client);
  if (client.readyAfterMs >= 0 && !client.console)
    fake.At(11000 + client.readyAfterMs, [&] { seenAtReady = fake.FileBytes("l2.ini").value_or(""); });
  const auto ended = RunToEnd(GameModeClick);
  const auto copies = fake.CallsOf({"Copy"});
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].atMs, c.restoreAtMs);
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  if (client.readyAfterMs > 0 && !client.console) {
    EXPECT_EQ(seenAtReady, std::string("ENCODED:") + kGamePatched) << "the client read its settings after the restore";
  }
  EXPECT_EQ(ended.failed, c.box);
  const auto boxes = fake.CallsOf({"ErrorBox"});
  ASSERT_EQ(boxes.size(), c.box ? 1u : 0u);
  if (c.box) {
    EXPECT_THAT(boxes[0].args[0], HasSubstr(kClientLate));
    EXPECT_THAT(boxes[0].args[0], HasSubstr("If it does not run in the mode"));
    EXPECT_EQ(boxes[0].args[4], "warning");
    EXPECT_GT(boxes[0].atMs, fake.CallsOf({"Copy"}).back().atMs - 1) << "the box comes after the restore";
  }
}

const ClientCase kClientCases[] = {
    {"ReadyAtOnceKeepsTheTimeline", {-1, 0, nullptr, 0}, 16000, false},
    {"ReadyEightSecondsLateIsWaitedFor", {-1, 0, nullptr, 8000}, 19000, false},
    {"NeverReadyIsRestoredAtTheBoundThenTold", {-1, 0, nullptr, -1}, 11000 + std::int64_t{kClientReadySeconds} * 1000, true},
    {"AConsoleClientIsNotWaitedFor", {-1, 0, nullptr, -1, true}, 16000, false},
    {"AClientThatEndedIsNotWaitedFor", {2000, 0, nullptr, -1}, 16000, false},
};

std::string ClientCaseName(const ::testing::TestParamInfo<ClientCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(ClientStarts, ClientReadyTest, ::testing::ValuesIn(kClientCases), ClientCaseName);

TEST_F(ModeLaunchTest, TheClientIsStartedPlainlyAndOnlyToolRunsAreContained) {
  RunToEnd(GameModeClick);
  EXPECT_THAT(Trace({"Start"}), ElementsAre(std::string("Start ") + kDecode + " 2 contained",
                                            std::string("Start ") + kEncode + " 2 contained", "Start l2.exe 2 plain"));
}

// A scanner that holds the fresh work copy: its read is waited for, and never taken for
// an empty text.
TEST_F(ModeLaunchTest, AWorkCopyHeldBrieflyAfterTheDecodeIsWaitedForAndPatchedWhole) {
  fake.At(1000, [&] { fake.HoldFile("temp.dat", 7500); });
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_FALSE(ended.failed) << ended.report;
  EXPECT_EQ(fake.FileBytes("temp.dat"), kGamePatched);
  EXPECT_TRUE(fake.CallsOf({"ErrorBox"}).empty());
}

TEST_F(ModeLaunchTest, AWorkCopyHeldForGoodAsksRetryOrCancelAndCancelNeverStartsTheClient) {
  fake.At(1000, [&] { fake.HoldFile("temp.dat", 1000000); });
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_TRUE(ended.failed);
  EXPECT_EQ(fake.CallsOf({"ErrorBox"}).size(), 1u);
  EXPECT_EQ(fake.CallsOf({"ErrorBox"})[0].args[1], "retry");
  EXPECT_FALSE(ClientStarted());
  EXPECT_EQ(fake.FileBytes("temp.dat"), kPlain) << "an unreadable work copy was patched";
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
}

TEST_F(ModeLaunchTest, AWorkCopyGoneAfterTheDecodeStopsLikeAFailedDecode) {
  fake.FailOn("Read", "C:\\Games\\Client/temp.dat", 2);
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_THAT(ended.report, AllOf(HasSubstr("temp.dat was gone"), HasSubstr("click the mode again")));
  EXPECT_EQ(fake.FileBytes("temp.dat"), kPlain) << "a patch was written over what could not be read";
  EXPECT_FALSE(ClientStarted());
}

// Without a job the time-out may not end the tool: the box then never says that the
// settings are as they were.
TEST_F(ModeLaunchTest, AToolRunThatCannotBeEndedIsNeverReportedAsHarmless) {
  fake.ScriptRun(kEncode, {-1, 0, nullptr, 0, false, false});
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_THAT(ended.report, AllOf(HasSubstr(kToolLate), HasSubstr("may still be running")));
  EXPECT_THAT(ended.report, ::testing::Not(HasSubstr("your settings are as they were")));
}

// The advice fits the class of error; Retry and Cancel stay where Retry can mend the cause;
// what Cancel leaves is what is so. A cause Retry cannot mend comes back unasked.
TEST_F(ModeLaunchTest, TheAdviceOfAFailedFileStepFitsItsError) {
  const std::tuple<std::uint32_t, const char*, bool> cases[] = {
      {32, "Close the program using it", true}, {5, "read-only mark", true},  {112, "Free some space", true},
      {53, "Reconnect it", true},     {1295, "disk quota", true},   {19, "", true},  {1920, "", true},
      {1117, "Close the game if it runs", true}, {2, "Put the file back", true}, {32, "Close the program", false}};
  for (const auto& [error, advice, backup] : cases) {
    FakePlatformOps platform;
    Form1 = MainForm{};
    Form1.Bind(platform);
    platform.SetTickHandler(Timer1Tick);
    for (int attempt = 0; attempt < 100; ++attempt) platform.FailOn("Delete", "temp.dat", error);
    platform.PutFile("temp.dat", "x");
    if (backup) platform.PutFile("l2.bak", "STORED");
    const OpResult result = RemoveWorkFile(platform);
    ASSERT_TRUE(result);
    const auto boxes = platform.CallsOf({"ErrorBox"});
    if (std::string_view(advice).empty()) {
      EXPECT_TRUE(boxes.empty()) << "Retry offered for an error it cannot mend: " << error;
      continue;
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_THAT(boxes[0].args[0], AllOf(HasSubstr(advice), HasSubstr(backup ? "l2.bak is kept" : "l2.ini was not changed")))
        << error;
    if (!backup) {
      EXPECT_THAT(boxes[0].args[0], ::testing::Not(HasSubstr("l2.bak is kept")));
    }
    EXPECT_EQ(boxes[0].args[1], "retry");
  }
  Form1.Bind(fake);
}

}  // namespace
}  // namespace kestrane::testing
