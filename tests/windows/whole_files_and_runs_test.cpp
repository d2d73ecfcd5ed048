#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "client/ini_text.h"
#include "client/mode_profiles.h"
#include "platform/program_paths.h"
#include "platform/win32_files.h"
#include "platform/win32_processes.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {
namespace {

// Another program writing the file: a read or a copy from it waits, never takes it mid-write.
TEST(WholeFiles, ASourceHeldOpenForWritingIsRefusedAsInUse) {
  ScratchFolder folder;
  folder.Write(L"l2.ini", "HALF-");
  UniqueHandle writer(CreateFileW(folder.File(L"l2.ini").c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
  ASSERT_TRUE(writer.Valid());
  std::string bytes;
  const auto read = ReadWholeFile(folder.File(L"l2.ini"), bytes);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  const auto copy = CopyFileOver(folder.File(L"l2.ini"), folder.File(L"l2.bak"));
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(PathExists(folder.File(L"l2.bak")));
  EXPECT_FALSE(PathExists(folder.File(L"l2.bak.kestrane-partial")));
  writer.Reset();
  EXPECT_FALSE(ReadWholeFile(folder.File(L"l2.ini"), bytes));
  EXPECT_EQ(bytes, "HALF-");
}

// A destination that cannot be replaced (held open by a program that lets others write
// it) is never rewritten where it stands by a write: it keeps its bytes whole. Only a copy
// that allows it, the restore of "l2.ini", rewrites it in place.
TEST(WholeFiles, AWriteNeverRewritesInPlaceAndOnlyTheRestoreMay) {
  ScratchFolder folder;
  folder.Write(L"l2.bak", "OLD-BACKUP");
  folder.Write(L"l2.ini", "STORED");
  UniqueHandle holder(CreateFileW(folder.File(L"l2.bak").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.Valid());
  EXPECT_TRUE(WriteBytesOver(folder.File(L"l2.bak"), "NEW-BACKUP-LONGER"));
  EXPECT_TRUE(CopyFileOver(folder.File(L"l2.ini"), folder.File(L"l2.bak")));
  holder.Reset();
  EXPECT_EQ(folder.Read(L"l2.bak"), "OLD-BACKUP");
  EXPECT_FALSE(PathExists(folder.File(L"l2.bak.kestrane-partial")));

  UniqueHandle client(CreateFileW(folder.File(L"l2.ini").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  folder.Write(L"l2.bak", "RESTORED");
  ASSERT_TRUE(client.Valid());
  EXPECT_FALSE(CopyFileOver(folder.File(L"l2.bak"), folder.File(L"l2.ini"), {.inPlaceIfHeld = true}));
  client.Reset();
  EXPECT_EQ(folder.Read(L"l2.ini"), "RESTORED");
}

// The system's reader and writer on the two awkward lines, against what the patch does.
std::wstring ReadBySystem(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t value[256] = {};
  GetPrivateProfileStringW(section, key, L"<none>", value, 256, file.c_str());
  return value;
}

TEST(WholeFiles, ABareKeyAndAnUnclosedHeaderEndAsTheSystemsWriterLeavesThem) {
  ScratchFolder folder;
  for (const std::string text : {"[URL]\r\nIsL2Console\r\nServerPort=2106\r\n", "[Video]\r\nW=1\r\n[URL\r\nIsL2Console=False\r\n"}) {
    folder.Write(L"system.ini", text);
    folder.Write(L"ours.ini", text);
    for (const auto& setting : GameProfile.settings)
      WritePrivateProfileStringW(L"URL", Widen(setting.key).c_str(), Widen(setting.value).c_str(),
                                 folder.File(L"system.ini").c_str());
    std::string patched = text;
    for (const auto& setting : GameProfile.settings)
      patched = WithIniValue(patched, kSettingsSection, setting.key, setting.value);
    folder.Write(L"ours.ini", patched);
    for (const wchar_t* section : {L"URL", L"Video"})
      for (const wchar_t* key : {L"IsL2NetLogin", L"IsL2Console", L"IsUseCommand", L"L2ThreadFilter", L"ServerPort", L"W"})
        EXPECT_EQ(ReadBySystem(folder.File(L"ours.ini"), section, key), ReadBySystem(folder.File(L"system.ini"), section, key))
            << text << " [" << Narrow(section) << "] " << Narrow(key);
    EXPECT_EQ(ReadBySystem(folder.File(L"ours.ini"), L"URL", L"IsL2Console"), L"True") << text;
  }
}

bool ToolRunning() {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (_wcsicmp(entry.szExeFile, L"l2encdec.exe") == 0) return true;
  return false;
}

class ProgramsOnDisk : public ::testing::Test {
 protected:
  ProgramsOnDisk() {
    const std::wstring built = Widen(FolderOfModulePath(Narrow(ModulePath())));
    for (const wchar_t* name : {L"l2encdec.exe", L"l2.exe"})
      CopyFileW((built + L"\\" + name).c_str(), folder.File(name).c_str(), FALSE);
  }
  std::wstring Cmd() const { return SystemFolder() + L"\\cmd.exe"; }
  ScratchFolder folder;
};

void WaitForTool() {
  for (int waited = 0; !ToolRunning(); waited += 50) {
    ASSERT_LT(waited, 15000) << "the tool did not start";
    Sleep(50);
  }
}

// A hung tool under the command interpreter: in a job, the time-out ends the tool too, and
// says so only once it has. Without a job, what the interpreter started cannot be known for
// certain, so the run is never said to have ended.
TEST_F(ProgramsOnDisk, AHungToolRunIsEndedWholeInAJobAndNeverClaimedEndedWithout) {
  folder.Write(L"l2encdec.hang", "");
  for (const RunHolding holding : {RunHolding::Job, RunHolding::NoJob}) {
    StartedProcess run;
    ASSERT_FALSE(StartContainedProcess(Cmd(), L"cmd /x /c l2encdec.exe -d l2.ini temp.dat", folder.Path(), SW_HIDE,
                                       run, holding));
    ASSERT_NO_FATAL_FAILURE(WaitForTool());
    EXPECT_EQ(run.job.Valid(), holding == RunHolding::Job);
    EXPECT_FALSE(ExitCodeIfEnded(run));
    EXPECT_EQ(EndStartedProcess(run), holding == RunHolding::Job);
    if (holding == RunHolding::Job) {
      EXPECT_FALSE(ToolRunning()) << "the tool outlived the time-out";
      EXPECT_TRUE(ExitCodeIfEnded(run));
    }
    for (int waited = 0; ToolRunning() && waited < 15000; waited += 100) {  // let the orphan go for the next
      system("taskkill /f /im l2encdec.exe >nul 2>&1");
      Sleep(100);
    }
  }
}

// The job's last handle is Kestrane's: when it closes (Kestrane ends, however) the run ends.
TEST_F(ProgramsOnDisk, ARunEndsWhenItsJobIsClosed) {
  folder.Write(L"l2encdec.hang", "");
  StartedProcess run;
  ASSERT_FALSE(
      StartContainedProcess(Cmd(), L"cmd /x /c l2encdec.exe -d l2.ini temp.dat", folder.Path(), SW_HIDE, run));
  ASSERT_NO_FATAL_FAILURE(WaitForTool());
  run.job.Reset();
  int waited = 0;
  while (ToolRunning() && waited < 10000) {
    Sleep(50);
    waited += 50;
  }
  EXPECT_FALSE(ToolRunning()) << "the tool outlived its job";
  EXPECT_EQ(WaitForSingleObject(run.process.Get(), 5000), WAIT_OBJECT_0) << "the interpreter outlived its job";
}

// A windowed client has finished starting once it first waits for input; a console
// program never does, and is not waited for.
TEST_F(ProgramsOnDisk, AWindowedClientIsStartingUntilItWaitsForInputAndAConsoleProgramIsNotWaitedFor) {
  folder.Write(L"l2.late", "2");
  StartedProcess client;
  ASSERT_FALSE(StartPlainProcess(folder.File(L"l2.exe"), L"l2.exe", folder.Path(), SW_SHOWMINNOACTIVE, client));
  EXPECT_FALSE(client.job.Valid());
  EXPECT_EQ(ReadinessOfProcess(client), Readiness::Starting);
  int waited = 0;
  while (ReadinessOfProcess(client) == Readiness::Starting && waited < 15000) {
    Sleep(50);
    waited += 50;
  }
  EXPECT_GE(waited, 1500) << "ready before it read its settings";
  EXPECT_NE(folder.Read(L"standins.log").find("window shown"), std::string::npos);
  WaitForSingleObject(client.process.Get(), 15000);
  EXPECT_EQ(ReadinessOfProcess(client), Readiness::NoWait);

  StartedProcess tool;
  ASSERT_FALSE(StartPlainProcess(folder.File(L"l2encdec.exe"), L"l2encdec.exe -d none none", folder.Path(), SW_HIDE, tool));
  EXPECT_EQ(ReadinessOfProcess(tool), Readiness::NoWait);
  WaitForSingleObject(tool.process.Get(), 5000);
}

}  // namespace
}  // namespace kestrane::testing
