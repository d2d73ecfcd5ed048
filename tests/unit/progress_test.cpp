#include <gmock/gmock.h>

#include "client/exit_cleanup.h"
#include "client/mode_launch.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

class ProgressTest : public FakeFormTest {
 protected:
  ProgressTest() {
    PutClientFolder("STORED");
    fake.PutFile("l2.bak", "STORED");
    ModelTool("[URL]\r\n");
  }
  // What the taskbar button showed and when, each change once.
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    std::string last;
    for (const auto& call : fake.CallsOf({"Progress"})) {
      if (call.args[0] == last) continue;
      last = call.args[0];
      out.push_back(std::to_string(call.atMs) + " " + last);
    }
    return out;
  }
  std::vector<std::string> Cursor() const { return Trace({"Cursor", "End"}); }
};

// Every window event in the middle of a pause (the real wait has one at least once a
// second; here the tool runs' ends at 1 and 9 s, and one at 2 s) moves the bar along.
TEST_F(ProgressTest, GameModeShowsItsSixteenSecondsAsTheyPassThenNothing) {
  fake.At(2000, [] {});
  RunToEnd(GameModeClick);
  EXPECT_THAT(Shown(), ElementsAre("0 normal 0/16000", "1000 normal 1000/16000", "2000 normal 2000/16000",
                                   "5000 normal 5000/16000", "8000 normal 8000/16000", "9000 normal 9000/16000",
                                   "11000 normal 11000/16000", "16000 normal 16000/16000", "16000 none"));
  EXPECT_THAT(Cursor(), ElementsAre("Cursor working", "Cursor arrow", "End 0"));
}

TEST_F(ProgressTest, ExitShowsItsFiveSeconds) {
  RunToEnd(ExitClick);
  EXPECT_THAT(Shown(), ElementsAre("0 normal 0/5000", "5000 normal 5000/5000", "5000 none"));
}

TEST_F(ProgressTest, AWaitOnASlowToolShowsBusyAndTheBarGoesOnAfterIt) {
  ModelTool("[URL]\r\n", 8000);
  RunToEnd(GameModeClick);
  EXPECT_THAT(Shown(), ElementsAre("0 normal 0/16000", "5000 normal 5000/16000", "5000 waiting",
                                   "8000 normal 5000/16000", "11000 normal 8000/16000", "12000 normal 9000/16000",
                                   "14000 normal 11000/16000",
                                   "19000 normal 16000/16000", "19000 none"));
}

TEST_F(ProgressTest, AnErrorBoxShowsTheErrorStateAndRetryGoesBackToNormal) {
  fake.At(9000, [&] {
    fake.PutFile("l2.ini", "PATCHED");
    fake.HoldFile("l2.ini", 30000);
  });
  fake.AnswerErrorBoxes({BoxChoice::Retry});
  RunToEnd(GameModeClick);
  const auto boxes = fake.CallsOf({"ErrorBox"});
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].args[2], "error");
  EXPECT_EQ(boxes[1].args[2], "error");
  EXPECT_THAT(Shown(), Contains("20000 normal 16000/16000")) << "not back to normal after Retry";
  EXPECT_EQ(Shown().back(), "24000 none");
  EXPECT_FALSE(fake.WorkingCursor());
}

TEST_F(ProgressTest, StartUpAndTheIdleWindowShowNoProgressAndTheArrow) {
  FormLoad();
  EXPECT_TRUE(fake.CallsOf({"Progress", "Cursor"}).empty());
}

}  // namespace
}  // namespace kestrane::testing
