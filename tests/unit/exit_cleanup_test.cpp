#include <gmock/gmock.h>

#include "client/exit_cleanup.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::ElementsAre;

class ExitCleanupTest : public FakeFormTest {
 protected:
  ExitCleanupTest() { PutClientFolder("PATCHED"); }
};

TEST_F(ExitCleanupTest, RemovesWorkFileRestoresThenRemovesBackupFiveSecondsLater) {
  fake.PutFile("l2.bak", "STORED");
  fake.PutFile("temp.dat", "[URL]\n");
  const auto ended = RunToEnd(ExitClick);
  EXPECT_FALSE(ended.failed);
  std::vector<std::string> timed;
  for (const auto& call : fake.CallsOf({"SetButtonEnabled", "Delete", "Copy", "End"}))
    timed.push_back(std::to_string(call.atMs) + " " + call.op + (call.args.empty() ? "" : " " + call.args[0]));
  EXPECT_THAT(timed, ElementsAre("0 SetButtonEnabled 1", "0 SetButtonEnabled 2", "0 SetButtonEnabled 3",
                                 "0 Delete temp.dat", "0 Copy l2.bak", "5000 Delete l2.bak", "5000 End 0"));
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  EXPECT_FALSE(fake.FileBytes("l2.bak").has_value());
  EXPECT_FALSE(fake.FileBytes("temp.dat").has_value());
}

TEST_F(ExitCleanupTest, WithoutWorkFileOrBackupItOnlyPausesAndEnds) {
  RunToEnd(ExitClick);
  EXPECT_TRUE(fake.CallsOf({"Delete", "Copy"}).empty());
  EXPECT_EQ(fake.FileBytes("l2.ini"), "PATCHED");
  EXPECT_EQ(fake.NowMs(), 5000);
}

TEST_F(ExitCleanupTest, BackupRemovedDuringThePauseIsNotDeletedTwice) {
  fake.PutFile("l2.bak", "STORED");
  fake.At(2000, [&] { fake.RemoveFile("l2.bak"); });
  const auto ended = RunToEnd(ExitClick);
  EXPECT_FALSE(ended.failed);
  EXPECT_EQ(fake.CallsOf({"Delete"}).size(), 1u);
}

TEST_F(ExitCleanupTest, AFailingRestoreKeepsTheBackup) {
  fake.PutFile("l2.bak", "STORED");
  fake.FailOn("Copy", "l2.bak");
  const auto ended = RunToEnd(ExitClick);
  EXPECT_TRUE(ended.failed);
  EXPECT_EQ(fake.FileBytes("l2.bak"), "STORED");
}

}  // namespace
}  // namespace kestrane::testing
