#include <gtest/gtest.h>

#include "app/failure_report.h"
#include "client/mode_launch.h"
#include "platform/program_paths.h"
#include "platform/win32_files.h"
#include "platform/win32_platform_ops.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {
namespace {

std::string BinaryBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) % 256);
  return bytes;
}

TEST(CopyFileOver, ReplacesAnExistingFileByteForByteAndLeavesNoTemporary) {
  ScratchFolder folder;
  const std::string source = BinaryBytes(200000, 7);  // spans several buffers, holds zero bytes
  folder.Write(L"l2.bak", source);
  folder.Write(L"l2.ini", std::string(500000, 'x'));  // longer than the source: must be cut
  ASSERT_FALSE(CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini")));
  EXPECT_EQ(folder.Read(L"l2.ini"), source);
  EXPECT_FALSE(PathExists(folder.File(L"l2.ini.kestrane-partial")));
}

TEST(CopyFileOver, MissingSourceReportsFileNotFoundAndLeavesTheTargetAlone) {
  ScratchFolder folder;
  folder.Write(L"l2.ini", "OLD");
  const auto failure = CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini"));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(folder.Read(L"l2.ini"), "OLD");
}

TEST(CopyFileOver, TargetHeldOpenWithoutSharingFailsWithItsErrorAndKeepsItsBytes) {
  ScratchFolder folder;
  folder.Write(L"l2.bak", "NEW-BYTES");
  folder.Write(L"l2.ini", "OLD-BYTES");
  UniqueHandle held(CreateFileW(folder.File(L"l2.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.Valid());
  const auto failure = CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini"));
  ASSERT_TRUE(failure);
  // A replace refused as access denied (Windows and Wine) or a sharing violation: in use either
  // way, and Windows' own error in the box, never one put in its place.
  EXPECT_EQ(ToFailure(*failure).kind, FailureKind::InUse) << failure->error;
  const std::wstring report = Widen(DescribeFailure(ToFailure(*failure)));
  EXPECT_EQ(failure->operation, Operation::Copy);
  EXPECT_NE(report.find(L"From: " + folder.File(L"l2.bak")), std::wstring::npos) << "the source is not named";
  EXPECT_NE(report.find(L"To: " + folder.File(L"l2.ini")), std::wstring::npos) << "the target is not named";
  EXPECT_NE(report.find(WindowsErrorText(failure->error) + L" (" + std::to_wstring(failure->error) + L")"),
            std::wstring::npos)
      << "not as Windows says it";
  held.Reset();
  EXPECT_EQ(folder.Read(L"l2.ini"), "OLD-BYTES");
  EXPECT_FALSE(PathExists(folder.File(L"l2.ini.kestrane-partial")));
}

// As when the running client holds "l2.ini": the stand-in client, told to hold it open
// without sharing, is started beside the files.
TEST(CopyFileOver, TargetHeldOpenByAnotherProcessFailsWithItsErrorNumber) {
  ScratchFolder folder;
  const std::wstring builtClient = Widen(FolderOfModulePath(Narrow(ModulePath()))) + L"\\l2.exe";
  ASSERT_TRUE(CopyFileW(builtClient.c_str(), folder.File(L"l2.exe").c_str(), FALSE));
  folder.Write(L"l2.hold", "3");
  folder.Write(L"l2.ini", "OLD-BYTES");
  folder.Write(L"l2.bak", "NEW-BYTES");
  StartedProcess client;
  ASSERT_FALSE(StartPlainProcess(folder.File(L"l2.exe"), L"l2.exe", folder.Path(), SW_HIDE, client));
  for (int waited = 0; folder.Read(L"standins.log").find("holding l2.ini") == std::string::npos; waited += 50) {
    ASSERT_LT(waited, 15000) << "the client did not take hold of l2.ini";
    Sleep(50);
  }
  const auto failure = CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini"));
  ASSERT_TRUE(failure);
  EXPECT_EQ(ToFailure(*failure).kind, FailureKind::InUse) << failure->error;
  EXPECT_FALSE(PathExists(folder.File(L"l2.ini.kestrane-partial")));
  for (int waited = 0; folder.Read(L"standins.log").find("exiting") == std::string::npos; waited += 50) {
    ASSERT_LT(waited, 15000) << "the client did not let go of l2.ini";
    Sleep(50);
  }
  EXPECT_EQ(folder.Read(L"l2.ini"), "OLD-BYTES");
}

TEST(CopyFileOver, TargetHeldOpenForSharedWritingIsRewrittenInPlace) {
  ScratchFolder folder;
  folder.Write(L"l2.bak", "NEW");
  folder.Write(L"l2.ini", "OLD-AND-LONGER");
  UniqueHandle held(CreateFileW(folder.File(L"l2.ini").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.Valid());
  EXPECT_FALSE(CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini"), {.inPlaceIfHeld = true}));
  held.Reset();
  EXPECT_EQ(folder.Read(L"l2.ini"), "NEW");
  EXPECT_FALSE(PathExists(folder.File(L"l2.ini.kestrane-partial")));
}

TEST(CopyFileOver, ReadOnlyTargetFailsAndKeepsItsBytes) {
  ScratchFolder folder;
  folder.Write(L"l2.bak", "NEW");
  folder.Write(L"l2.ini", "OLD");
  SetFileAttributesW(folder.File(L"l2.ini").c_str(), FILE_ATTRIBUTE_READONLY);
  const auto failure = CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini"));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(folder.Read(L"l2.ini"), "OLD");
}

// A crash between writing the temporary and replacing the target: the target keeps its
// old bytes whole, and the start-up clean-up removes the temporary.
TEST(CopyFileOver, InterruptedBeforeTheReplaceLeavesTheOldTargetAndAStrayThatIsDiscarded) {
  ScratchFolder folder;
  folder.Write(L"l2.bak", BinaryBytes(100000, 3));
  folder.Write(L"l2.ini", "OLD");
  ASSERT_FALSE(WriteTemporaryCopy(folder.File(L"l2.bak"), folder.File(L"l2.ini")));
  EXPECT_EQ(folder.Read(L"l2.ini"), "OLD");
  EXPECT_TRUE(PathExists(folder.File(L"l2.ini.kestrane-partial")));
  DiscardTemporaryCopy(folder.File(L"l2.ini"));
  EXPECT_FALSE(PathExists(folder.File(L"l2.ini.kestrane-partial")));
  EXPECT_EQ(folder.Read(L"l2.ini"), "OLD");
}

TEST(CopyFileOver, AStrayTemporaryFromAnEarlierRunDoesNotLeakIntoTheNextCopy) {
  ScratchFolder folder;
  folder.Write(L"l2.bak.kestrane-partial", "HALF-WRITTEN-GARBAGE-FROM-A-CRASH");
  folder.Write(L"l2.ini", "SETTINGS");
  ASSERT_FALSE(CopyFileOver(folder.File(L"l2.ini"), folder.File(L"l2.bak")));
  EXPECT_EQ(folder.Read(L"l2.bak"), "SETTINGS");
  EXPECT_FALSE(PathExists(folder.File(L"l2.bak.kestrane-partial")));
}

TEST(FileOperations, PresenceAndDeleteIncludingAMissingFile) {
  ScratchFolder folder;
  folder.Write(L"temp.dat", "x");
  EXPECT_TRUE(PathExists(folder.File(L"temp.dat")));
  EXPECT_TRUE(PathExists(folder.Path())) << "a folder counts as present, as for any path";
  EXPECT_FALSE(DeleteFileNamed(folder.File(L"temp.dat")));
  EXPECT_FALSE(PathExists(folder.File(L"temp.dat")));
  EXPECT_FALSE(DeleteFileNamed(folder.File(L"temp.dat"))) << "a file already gone counts as deleted";
  folder.Write(L"l2.bak", "x");
  SetFileAttributesW(folder.File(L"l2.bak").c_str(), FILE_ATTRIBUTE_READONLY);
  const auto failure = DeleteFileNamed(folder.File(L"l2.bak"));
  ASSERT_TRUE(failure) << "other errors still count";
  EXPECT_EQ(failure->error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(FileOperations, FolderNamedBeyondTheAnsiCodePage) {
  ScratchFolder folder(L"Клиент-クライアント");
  folder.Write(L"l2.ini", "SETTINGS");
  EXPECT_TRUE(PathExists(folder.File(L"l2.ini")));
  ASSERT_FALSE(CopyFileOver(folder.File(L"l2.ini"), folder.File(L"l2.bak")));
  EXPECT_EQ(folder.Read(L"l2.bak"), "SETTINGS");
  EXPECT_FALSE(DeleteFileNamed(folder.File(L"l2.bak")));
  EXPECT_FALSE(PathExists(folder.File(L"l2.bak")));
}

// A program missing, a folder in its place, a file that is no program: each start reports the
// program and Windows' own error, whose line names the program where it has an insert.
TEST(StartProcess, ARefusedStartReportsTheProgramAndWindowsOwnLine) {
  ScratchFolder folder;
  CreateDirectoryW(folder.File(L"folder.exe").c_str(), nullptr);
  folder.Write(L"text.exe", "this is no program\r\n");
  for (const wchar_t* name : {L"missing.exe", L"folder.exe", L"text.exe"}) {
    StartedProcess run;
    const auto failure = StartContainedProcess(folder.File(name), name, folder.Path(), SW_SHOWMINIMIZED, run);
    ASSERT_TRUE(failure) << Narrow(name);
    const Failure told = ToFailure(*failure);
    EXPECT_EQ(told.operation, Operation::Start);
    EXPECT_EQ(told.errorText.find('%'), std::string::npos) << "an insert left in Windows' line: " << told.errorText;
    EXPECT_FALSE(told.errorText.empty()) << Narrow(name) << ": " << failure->error;
    const std::wstring report = Widen(DescribeFailure(told));
    EXPECT_NE(report.find(L"Program: " + folder.File(name)), std::wstring::npos) << Narrow(report);
  }
  StartedProcess run;
  const auto missing = StartContainedProcess(folder.File(L"l2.exe"), L"l2.exe", folder.Path(), SW_SHOWMINIMIZED, run);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The interpreter that runs the settings tool, missing or refused by Windows, is told as
// itself, never as a program of the game.
TEST(StartProcess, AnInterpreterThatCannotStartGetsTheInterpretersBox) {
  ScratchFolder system(L"kestrane-system");
  Win32PlatformOps platform;
  platform.UseInterpreterFolder(Narrow(system.Path()));
  const std::string decode = "cmd /x /c l2encdec.exe -d l2.ini temp.dat";
  const StartResult missing = platform.StartProgram(decode, SW_SHOWMINIMIZED, Containment::Contained);
  ASSERT_TRUE(missing.failure);
  EXPECT_EQ(WhyNotStarted(*missing.failure, decode), Box::NoInterpreter);
  CreateDirectoryW(system.File(L"cmd.exe").c_str(), nullptr);  // Windows refuses to start it
  StartResult refused = platform.StartProgram(decode, SW_SHOWMINIMIZED, Containment::Contained);
  ASSERT_TRUE(refused.failure);
  refused.failure->box = WhyNotStarted(*refused.failure, decode);
  EXPECT_EQ(refused.failure->box, Box::InterpreterRefused) << refused.failure->error;
  const std::string box = ComposeBox(*refused.failure, Standing::NotChangedNotStarted, RetryOffer::No, {}).text;
  EXPECT_TRUE(box.starts_with(FirstLine(Box::InterpreterRefused))) << box;
}

// "Path not found" for a path outside the working folder is only absence (a VirtualStore folder
// that was never made). For a bare name it is the working folder gone, which Wine cannot show:
// it keeps its working folder from being removed.
// A file deleted while a scanner holds it stays pending deletion until the scanner lets go:
// a query, a create or a delete of its name is then waited for as in use, never a refusal.
// (Windows 10 and later on NTFS remove the name at once; Wine may too: then it is absent.)
TEST(FileOperations, ANamePendingDeletionIsInUseOrAbsentNeverRefused) {
  ScratchFolder folder;
  folder.Write(L"temp.dat", "x");
  UniqueHandle scanner(CreateFileW(folder.File(L"temp.dat").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
  ASSERT_TRUE(scanner.Valid());
  ASSERT_FALSE(DeleteFileNamed(folder.File(L"temp.dat")));
  bool exists = false;
  const auto queried = QueryPathExists(folder.File(L"temp.dat"), exists);
  if (queried) {
    EXPECT_EQ(ToFailure(*queried).kind, FailureKind::InUse) << queried->error;
  }
  const auto written = WriteBytesOver(folder.File(L"temp.dat"), "y");
  if (written) {
    EXPECT_EQ(ToFailure(*written).kind, FailureKind::InUse) << written->error;
  }
  scanner.Reset();
  EXPECT_FALSE(QueryPathExists(folder.File(L"temp.dat"), exists));
}

TEST(FileOperations, PathNotFoundOutsideTheWorkingFolderIsAbsence) {
  ScratchFolder folder(L"kestrane-gone\\client");
  bool exists = true;
  EXPECT_FALSE(QueryPathExists(folder.File(L"absent\\l2.ini"), exists));
  EXPECT_FALSE(exists);
}

TEST(SystemFolder, HoldsTheCommandInterpreter) { EXPECT_TRUE(PathExists(SystemFolder() + L"\\cmd.exe")); }

}  // namespace
}  // namespace kestrane::testing
