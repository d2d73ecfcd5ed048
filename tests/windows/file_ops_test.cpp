#include <gtest/gtest.h>

#include "app/failure_report.h"
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
  EXPECT_EQ(failure->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  const std::wstring report = Widen(DescribeFailure(ToFailure(*failure)));
  EXPECT_EQ(failure->operation, Operation::Copy);
  EXPECT_NE(report.find(L"From: " + folder.File(L"l2.bak")), std::wstring::npos) << "the source is not named";
  EXPECT_NE(report.find(L"To: " + folder.File(L"l2.ini")), std::wstring::npos) << "the target is not named";
  EXPECT_NE(report.find(WindowsErrorText(32) + L" (32)"), std::wstring::npos) << "not as Windows says it";
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
  EXPECT_EQ(failure->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
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
  EXPECT_FALSE(CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini"), true));
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

TEST(StartProcess, AMissingProgramReportsTheProgramAndTheError) {
  ScratchFolder folder;
  StartedProcess run;
  const auto failure = StartContainedProcess(folder.File(L"l2.exe"), L"l2.exe", folder.Path(), SW_SHOWMINIMIZED, run);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const std::wstring report = Widen(DescribeFailure(ToFailure(*failure)));
  EXPECT_EQ(failure->operation, Operation::Start);
  EXPECT_NE(report.find(L"Program: " + folder.File(L"l2.exe")), std::wstring::npos);
}

TEST(SystemFolder, HoldsTheCommandInterpreter) { EXPECT_TRUE(PathExists(SystemFolder() + L"\\cmd.exe")); }

}  // namespace
}  // namespace kestrane::testing
