#include <gmock/gmock.h>

#include "app/box_catalogue.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::ElementsAre;

using StartupTest = FakeFormTest;

TEST_F(StartupTest, FirstStartTakesTheBackupThenRestoresItAndEnablesTheButtons) {
  PutClientFolder("SETTINGS-1");
  FormLoad();
  EXPECT_THAT(Trace({"SetButtonEnabled", "PreviousInstance", "SetWorkingFolder", "Exists", "Copy", "Write",
                     "DiscardInterruptedCopy"}),
              ElementsAre("SetButtonEnabled 1 false", "SetButtonEnabled 2 false", "SetButtonEnabled 3 false",
                          "PreviousInstance", "SetWorkingFolder C:\\Games\\Client", "Exists l2encdec.exe",
                          "Exists l2.ini", "Exists l2.exe", "DiscardInterruptedCopy l2.bak",
                          "DiscardInterruptedCopy l2.ini", "DiscardInterruptedCopy temp.dat", "Exists l2.bak",
                          "Write l2.bak", "Exists l2.bak", "SetButtonEnabled 1 true", "SetButtonEnabled 2 true",
                          "SetButtonEnabled 3 true"));
  EXPECT_EQ(fake.FileBytes("l2.bak"), "SETTINGS-1");
  EXPECT_EQ(fake.FileBytes("l2.ini"), "SETTINGS-1");
  EXPECT_FALSE(fake.Ended());
  EXPECT_TRUE(FormQueryClose());
}

TEST_F(StartupTest, ExistingBackupIsKeptAndUndoesAnEditedSettingsFile) {
  PutClientFolder("EDITED");
  fake.PutFile("l2.bak", "ORIGINAL");
  FormLoad();
  EXPECT_THAT(Trace({"Copy"}), ElementsAre("Copy l2.bak l2.ini"));
  EXPECT_EQ(fake.FileBytes("l2.ini"), "ORIGINAL");
  EXPECT_EQ(fake.FileBytes("l2.bak"), "ORIGINAL");
}

// It shows nothing of its own; a box the first copy shows, perhaps behind a game, comes forward.
TEST_F(StartupTest, SecondInstanceEndsSilentlyBeforeAnyFileIsLookedAtAndShowsTheFirstOnesBox) {
  PutClientFolder();
  fake.SetPreviousInstanceFlag(true, true);
  const auto ended = RunToEnd(FormLoad);
  EXPECT_FALSE(ended.failed);
  EXPECT_TRUE(Trace({"Exists", "Copy", "Delete", "SetWorkingFolder", "ErrorBox"}).empty());
  EXPECT_FALSE(fake.ButtonEnabled(ButtonId::Command1));
  EXPECT_TRUE(fake.EarlierBoxInFront());
}

class MissingFileTest : public FakeFormTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingFileTest, EndsSilentlyWithoutTouchingAnyFile) {
  for (const auto* name : {"l2encdec.exe", "l2.exe", "l2.ini", "l2.bak"})
    if (std::string_view(name) != GetParam()) fake.PutFile(name, "x");
  const auto ended = RunToEnd(FormLoad);
  EXPECT_FALSE(ended.failed) << "a missing file must end the program silently";
  EXPECT_TRUE(fake.CallsOf({"Copy", "Delete", "DiscardInterruptedCopy"}).empty());
  EXPECT_FALSE(fake.FileBytes(GetParam()).has_value()) << "the missing file was recreated";
  EXPECT_FALSE(fake.ButtonEnabled(ButtonId::Command1));
}

INSTANTIATE_TEST_SUITE_P(EachRequiredFile, MissingFileTest, ::testing::Values("l2encdec.exe", "l2.ini", "l2.exe"));

TEST_F(StartupTest, StartedFromAnotherFolderWorksInTheProgramsOwnFolder) {
  fake.SetAppFolder("D:\\Games\\Client");
  for (const auto* name : {"l2encdec.exe", "l2.exe", "l2.ini"}) fake.PutFile(std::string("D:\\Games\\Client\\") + name, "SETTINGS");
  fake.SetWorkingFolder("C:\\Users\\Player\\Desktop");
  FormLoad();
  EXPECT_EQ(fake.WorkingFolder(), "D:\\Games\\Client");
  EXPECT_EQ(fake.FileBytes("D:\\Games\\Client\\l2.bak"), "SETTINGS");
  EXPECT_FALSE(fake.FileBytes("C:\\Users\\Player\\Desktop\\l2.bak").has_value());
}

TEST_F(StartupTest, FailingBackupWriteEndsWithAnErrorLeavesNoBackupAndButtonsDisabled) {
  PutClientFolder();
  fake.FailOn("Write", "l2.bak");
  const auto ended = RunToEnd(FormLoad);
  EXPECT_TRUE(ended.failed);
  EXPECT_FALSE(fake.ButtonEnabled(ButtonId::Command3));
  EXPECT_FALSE(fake.FileBytes("l2.bak").has_value());
  EXPECT_EQ(fake.FileBytes("l2.ini"), "ENCODED-SETTINGS");
}

// The backup is the bytes read from "l2.ini", moved into place and read back: one that did
// not land as read is removed and reported, never kept; one that another program holds past
// the retries is reported as held, not as a failing disk.
struct ReadBackCase {
  const char* name;
  std::function<void(FakePlatformOps&, std::string&)> atTheWrite;
  std::vector<const char*> reportHas;
  bool backupLeft;
};

void PrintTo(const ReadBackCase& c, std::ostream* out) { *out << c.name; }

class ReadBackTest : public StartupTest, public ::testing::WithParamInterface<ReadBackCase> {};

TEST_P(ReadBackTest, ANewBackupThatCannotBeShownTrueIsReportedForWhatItIs) {
  PutClientFolder("SETTINGS-1");
  fake.TamperWithWrite("l2.bak", [&](std::string& bytes) { GetParam().atTheWrite(fake, bytes); });
  const auto ended = RunToEnd(FormLoad);
  EXPECT_TRUE(ended.failed);
  for (const char* part : GetParam().reportHas) EXPECT_THAT(ended.report, ::testing::HasSubstr(part));
  EXPECT_EQ(fake.FileBytes("l2.bak").has_value(), GetParam().backupLeft);
  EXPECT_EQ(fake.FileBytes("l2.ini"), "SETTINGS-1");
}

const ReadBackCase kReadBackCases[] = {
    {"OtherBytesAreRemoved", [](FakePlatformOps&, std::string& bytes) { bytes.resize(bytes.size() / 2); },
     {"did not come out as a true copy of l2.ini", "l2.bak was removed", "File: C:\\Games\\Client\\l2.bak"}, false},
    {"AHolderPastTheRetriesIsNamed",
     [](FakePlatformOps& f, std::string&) { f.HoldFile("l2.bak", 10000, Hold::NoSharing); },
     {"could not read back the new backup", "(32)", "Start Kestrane again in a moment",
      "delete l2.bak yourself"},
     true},
};

std::string ReadBackName(const ::testing::TestParamInfo<ReadBackCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(ReadBack, ReadBackTest, ::testing::ValuesIn(kReadBackCases), ReadBackName);

// Another program writing "l2.ini" holds it: the backup waits, never copies it mid-write.
TEST_F(StartupTest, ASettingsFileHeldByAWriterIsWaitedForBeforeTheBackup) {
  PutClientFolder("SETTINGS-1");
  fake.HoldFile("l2.ini", 1500);
  fake.At(1000, [&] { fake.PutFile("l2.ini", "SETTINGS-2"); });
  FormLoad();
  EXPECT_EQ(fake.FileBytes("l2.bak"), "SETTINGS-2");
  EXPECT_TRUE(fake.CallsOf({"ErrorBox"}).empty());
}

// A start-up restore that the client refuses (it holds "l2.ini" from an earlier start): Cancel
// leaves "l2.ini" as an earlier run may have left it, which the box says, but never after a
// backup just taken from that very "l2.ini".
TEST_F(StartupTest, ARefusedRestoreSaysAModesSettingsMayStayOnlyWhereTheBackupIsOlder) {
  for (const bool older : {true, false}) {
    FakePlatformOps platform;
    Form1 = MainForm{};
    Form1.Bind(platform);
    platform.SetTickHandler(Timer1Tick);
    for (const char* name : {"l2encdec.exe", "l2.exe"}) platform.PutFile(name, "program");
    platform.PutFile("l2.ini", "LEFT BY AN EARLIER RUN");
    if (older) {
      platform.PutFile("l2.bak", "STORED");
      platform.HoldFile("l2.ini", -1);
    } else {
      platform.TamperWithWrite("l2.bak", [&](std::string&) { platform.HoldFile("l2.ini", -1); });
    }
    try {
      FormLoad();
    } catch (const ProgramEnded&) {
    }
    const auto boxes = platform.CallsOf({"ErrorBox"});
    ASSERT_EQ(boxes.size(), 1u) << older;
    EXPECT_EQ(boxes[0].args[1], "retry");
    EXPECT_THAT(boxes[0].args[0], ::testing::HasSubstr(std::string(
                                      StandingText(older ? Standing::IniMayDiffer : Standing::BackupKept))));
  }
  Form1.Bind(fake);
}

}  // namespace
}  // namespace kestrane::testing
