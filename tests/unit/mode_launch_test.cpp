#include <gmock/gmock.h>

#include "client/mode_launch.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::ElementsAre;

class ModeLaunchTest : public FakeFormTest {
 protected:
  ModeLaunchTest() {
    PutClientFolder("STORED");
    fake.PutFile("l2.bak", "STORED");
  }
};

TEST_F(ModeLaunchTest, GameModeRunsDecodePatchEncodeClientRestoreEndInOrder) {
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_FALSE(ended.failed);
  EXPECT_THAT(Trace({"SetButtonEnabled", "Start", "WriteProfile", "Copy", "End"}),
              ElementsAre("SetButtonEnabled 1 false", "SetButtonEnabled 2 false", "SetButtonEnabled 3 false",
                          "Start cmd /x /c l2encdec.exe -d l2.ini temp.dat 2",
                          "WriteProfile URL IsL2NetLogin True C:\\Games\\Client/temp.dat",
                          "WriteProfile URL IsL2Console True C:\\Games\\Client/temp.dat",
                          "WriteProfile URL IsUseCommand True C:\\Games\\Client/temp.dat",
                          "WriteProfile URL L2ThreadFilter 1 C:\\Games\\Client/temp.dat",
                          "Start cmd /x /c l2encdec.exe -e413 temp.dat l2.ini 2", "Start l2.exe 2",
                          "Copy l2.bak l2.ini", "End"));
}

TEST_F(ModeLaunchTest, DevelopModeWritesTheDevelopValues) {
  RunToEnd(DevelopModeClick);
  EXPECT_THAT(Trace({"WriteProfile"}),
              ElementsAre("WriteProfile URL IsL2NetLogin False C:\\Games\\Client/temp.dat",
                          "WriteProfile URL IsL2Console False C:\\Games\\Client/temp.dat",
                          "WriteProfile URL IsUseCommand False C:\\Games\\Client/temp.dat",
                          "WriteProfile URL L2ThreadFilter 0 C:\\Games\\Client/temp.dat"));
}

TEST_F(ModeLaunchTest, StepsHappenAtTheirSecondsAfterTheClick) {
  RunToEnd(GameModeClick);
  std::vector<std::pair<std::string, std::int64_t>> times;
  for (const auto& call : fake.CallsOf({"Start", "WriteProfile", "Copy", "End"}))
    times.emplace_back(call.op + (call.args.empty() ? "" : " " + call.args[0]), call.atMs);
  EXPECT_THAT(times, ElementsAre(std::pair<std::string, std::int64_t>{"Start cmd /x /c l2encdec.exe -d l2.ini temp.dat", 0},
                                 std::pair<std::string, std::int64_t>{"WriteProfile URL", 5000},
                                 std::pair<std::string, std::int64_t>{"WriteProfile URL", 5000},
                                 std::pair<std::string, std::int64_t>{"WriteProfile URL", 5000},
                                 std::pair<std::string, std::int64_t>{"WriteProfile URL", 5000},
                                 std::pair<std::string, std::int64_t>{"Start cmd /x /c l2encdec.exe -e413 temp.dat l2.ini", 8000},
                                 std::pair<std::string, std::int64_t>{"Start l2.exe", 11000},
                                 std::pair<std::string, std::int64_t>{"Copy l2.bak", 16000},
                                 std::pair<std::string, std::int64_t>{"End", 16000}));
}

TEST_F(ModeLaunchTest, PatchReachesTheWorkCopyAndTheStoredSettingsEndAsTheyWere) {
  fake.PutFile("temp.dat", "[URL]\nServerPort=2106\nIsL2NetLogin=False\n[Video]\nWidth=1280\n");
  RunToEnd(GameModeClick);
  EXPECT_EQ(fake.FileBytes("temp.dat"),
            "[URL]\nServerPort=2106\nIsL2NetLogin=True\nIsL2Console=True\nIsUseCommand=True\nL2ThreadFilter=1\n"
            "[Video]\nWidth=1280\n");
  EXPECT_EQ(fake.FileBytes("l2.ini"), "STORED");
  EXPECT_EQ(fake.FileBytes("l2.bak"), "STORED");
}

TEST_F(ModeLaunchTest, CloseRequestsDuringTheSequenceAreRefusedAndItRunsToTheRestore) {
  std::vector<bool> answers;
  for (std::int64_t at : {100, 6000, 15900}) fake.At(at, [&] { answers.push_back(FormQueryClose()); });
  RunToEnd(GameModeClick);
  EXPECT_THAT(answers, ElementsAre(false, false, false));
  EXPECT_THAT(Trace({"Copy", "End"}), ElementsAre("Copy l2.bak l2.ini", "End"));
}

TEST_F(ModeLaunchTest, AFailingClientStartStopsTheSequenceThere) {
  fake.FailOn("Start", "l2.exe");
  const auto ended = RunToEnd(GameModeClick);
  EXPECT_TRUE(ended.failed);
  EXPECT_TRUE(fake.CallsOf({"Copy", "End"}).empty()) << "a step ran after the failure";
  EXPECT_EQ(fake.NowMs(), 11000);
}

TEST_F(ModeLaunchTest, NothingRunsAfterTheEnd) {
  RunToEnd(GameModeClick);
  EXPECT_EQ(fake.Calls().back().op, "End");
}

}  // namespace
}  // namespace kestrane::testing
