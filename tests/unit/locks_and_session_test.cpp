#include <gmock/gmock.h>

#include "client/exit_cleanup.h"
#include "client/mode_launch.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Exit's restore meets an "l2.ini" held by another program, in simulated time.
class InUseTest : public FakeFormTest {
 protected:
  InUseTest() {
    PutClientFolder("PATCHED");
    fake.PutFile("l2.bak", "STORED");
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const auto& call : fake.CallsOf({"ErrorBox"})) out.push_back(std::to_string(call.atMs) + " " + call.args[1]);
    return out;
  }
  std::int64_t BackupDeletedAt() const {
    const auto deletes = fake.CallsOf({"Delete"});
    return deletes.empty() ? -1 : deletes.back().atMs;
  }
};

TEST_F(InUseTest, ABriefLockIsWaitedOutWithoutABox) {
  fake.HoldFile("l2.ini", 1000);
  const auto ended = RunToEnd(ExitClick);
  EXPECT_FALSE(ended.failed);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  EXPECT_EQ(BackupDeletedAt(), 6000) << "the pause follows the restore";
}

TEST_F(InUseTest, ALastingLockAsksAfterTheBoundAndCancelEndsWithTheBackupKept) {
  fake.HoldFile("l2.ini", 60000);
  const auto ended = RunToEnd(ExitClick);
  EXPECT_TRUE(ended.failed);
  EXPECT_THAT(Boxes(), ElementsAre("4000 retry"));
  // Windows refuses to replace a file another program has open as access denied: its own
  // error, under the box of a file in use.
  EXPECT_THAT(ended.report, AllOf(HasSubstr("Another program is using a file"), HasSubstr("(5)")));
  EXPECT_EQ(fake.FileBytes("l2.bak"), "STORED");
  EXPECT_EQ(fake.FileBytes("l2.ini"), "PATCHED");
}

TEST_F(InUseTest, RetryDoesTheCopyAgainAndTheActionGoesOnFromThere) {
  fake.HoldFile("l2.ini", 6000);
  fake.AnswerErrorBoxes({BoxChoice::Retry});
  const auto ended = RunToEnd(ExitClick);
  EXPECT_FALSE(ended.failed);
  EXPECT_THAT(Boxes(), ElementsAre("4000 retry")) << "one box only: the retry waited out the rest";
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  EXPECT_EQ(BackupDeletedAt(), 11000);
}

TEST_F(InUseTest, OtherErrorsAskAtOnceWithoutRetrying) {
  fake.FailOn("Copy", "l2.bak", 5);
  const auto ended = RunToEnd(ExitClick);
  EXPECT_TRUE(ended.failed);
  EXPECT_THAT(Boxes(), ElementsAre("0 retry"));
  EXPECT_EQ(fake.CallsOf({"Copy"}).size(), 1u);
}

TEST_F(InUseTest, AtStartUpTheSameRetriesComeBeforeTheWindowShows) {
  fake.HoldFile("l2.ini", 5000);
  fake.AnswerErrorBoxes({BoxChoice::Retry});
  FormLoad();
  EXPECT_THAT(Boxes(), ElementsAre("4000 retry"));
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  EXPECT_TRUE(fake.ButtonEnabled(ButtonId::Command1));
}

// The end of the session while Game Mode runs: the encode in progress is ended and the
// stored settings are back before the handler returns; the program ends.
TEST_F(InUseTest, ASessionEndDuringAnActionRestoresAtOnceAndEnds) {
  ModelTool("[URL]\r\n", 1000, 30000);
  fake.At(9000, [&] { fake.PutFile("l2.ini", "HALF-ENCODED"); });
  bool restoredOnReturn = false;
  std::string reasonMeanwhile;
  fake.At(10000, [&] {
    reasonMeanwhile = fake.ShutdownBlockReason();
    try {
      FormEndSession(true);
    } catch (const ProgramEnded&) {
      restoredOnReturn = fake.FileBytes("l2.ini") == "STORED";
      throw;
    }
  });
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_FALSE(ended.failed);
  EXPECT_TRUE(restoredOnReturn);
  EXPECT_THAT(Trace({"StopRun"}), ElementsAre("StopRun 2"));
  EXPECT_TRUE(fake.CallsOf({"ErrorBox"}).empty());
  EXPECT_EQ(reasonMeanwhile, "Restoring the game's settings");
}

TEST_F(InUseTest, ASessionEndWhileIdleTouchesNothingAndACancelledOneDoesNothing) {
  FormLoad();
  fake.PutFile("l2.ini", "EDITED");
  FormEndSession(false);
  EXPECT_FALSE(fake.Ended());
  EXPECT_THROW(FormEndSession(true), ProgramEnded);
  EXPECT_EQ(fake.FileBytes("l2.ini"), "EDITED");
  EXPECT_EQ(fake.ShutdownBlockReason(), "");
}

// Clicks that reach a handler while an action runs, as Wine delivers them to disabled
// buttons, do nothing.
TEST_F(InUseTest, ClicksDuringAnActionAreIgnored) {
  ModelTool("[URL]\r\n");
  fake.At(50, GameModeClick);
  fake.At(100, ExitClick);
  RunToEnd(GameModeClick);
  EXPECT_EQ(fake.CallsOf({"Start"}).size(), 3u) << "one decode, one encode, one client";
  EXPECT_TRUE(fake.FileBytes("l2.bak").has_value()) << "Exit ran inside Game Mode";
}

TEST_F(InUseTest, AGameModeClickDuringExitNeverRunsTheTool) {
  fake.At(100, GameModeClick);
  RunToEnd(ExitClick);
  EXPECT_TRUE(fake.CallsOf({"Start"}).empty());
  EXPECT_FALSE(fake.FileBytes("l2.bak").has_value());
}

}  // namespace
}  // namespace kestrane::testing
