#include <gmock/gmock.h>

#include "app/paced_wait.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::ElementsAre;

using PacedWaitTest = FakeFormTest;

TEST_F(PacedWaitTest, ZeroSecondsReturnsAtOnceWithTheTimerAtRest) {
  WaitSeconds(0);
  EXPECT_EQ(fake.NowMs(), 0);
  EXPECT_EQ(fake.DoEventsCount(), 0);
  EXPECT_FALSE(fake.TimerEnabled());
  EXPECT_EQ(fake.TimerInterval(), 0);
}

TEST_F(PacedWaitTest, APauseLastsItsLengthOnTheTimerAndLeavesItAtRest) {
  WaitSeconds(5);
  EXPECT_EQ(fake.NowMs(), 5000);
  EXPECT_THAT(Trace({"SetTimerInterval", "SetTimerEnabled", "Tick"}),
              ElementsAre("SetTimerInterval 5000", "SetTimerEnabled true", "Tick", "SetTimerInterval 0",
                          "SetTimerEnabled false"));
  EXPECT_FALSE(fake.TimerEnabled());
  EXPECT_EQ(fake.TimerInterval(), 0);
}

TEST_F(PacedWaitTest, TwoPausesInARowEachLastTheirOwnLength) {
  WaitSeconds(3);
  const auto afterFirst = fake.NowMs();
  WaitSeconds(5);
  EXPECT_EQ(afterFirst, 3000);
  EXPECT_EQ(fake.NowMs(), 8000);
  EXPECT_EQ(fake.CallsOf({"Tick"}).size(), 2u);
}

TEST_F(PacedWaitTest, OtherWindowEventsAreHandledDuringThePause) {
  bool repainted = false;
  fake.At(1200, [&] { repainted = true; });
  WaitSeconds(3);
  EXPECT_TRUE(repainted);
  EXPECT_EQ(fake.NowMs(), 3000);
}

}  // namespace
}  // namespace kestrane::testing
