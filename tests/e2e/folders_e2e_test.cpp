// Folders as players have them, with the real program: the box names the folder's cause, a
// mode says it before the settings tool is started, and the way out it gives works.
#include <gtest/gtest.h>

#include "app/box_catalogue.h"
#include "app/failure_report.h"
#include "platform/win32_platform_ops.h"
#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"

namespace kestrane::testing {
namespace {

// Waits for Kestrane's box after a click on Game Mode; nullptr when none came.
HWND BoxAfterGameMode(LauncherRun& run) {
  if (!run.WaitForWindow()) return nullptr;
  run.Click(L"Game Mode");
  return run.WaitForErrorBox(15000);
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// The mark is cleared as the box says, then Retry: the mode goes on and ends normally.
TEST(FolderEndToEnd, AReadOnlySettingsFileIsToldBeforeTheToolAndRetryAfterClearingItWorks) {
  ClientFolder folder;
  LauncherRun run(folder);
  ASSERT_TRUE(run.WaitForWindow());
  ASSERT_TRUE(SetFileAttributesW(folder.File(L"l2.ini").c_str(), FILE_ATTRIBUTE_READONLY));
  run.Click(L"Game Mode");
  const HWND box = run.WaitForErrorBox(15000);
  ASSERT_TRUE(box);
  const std::wstring text = probe::MessageBoxText(box);
  EXPECT_TRUE(Contains(text, Widen(WayOut(Box::FileProtected)))) << Narrow(text);
  EXPECT_TRUE(Contains(text, folder.File(L"l2.ini"))) << Narrow(text);
  EXPECT_TRUE(Contains(text, Widen(StandingText(Standing::NotChangedNotStarted)))) << Narrow(text);
  EXPECT_TRUE(folder.LogOf("l2encdec").empty()) << "the tool was started before the box";
  SetFileAttributesW(folder.File(L"l2.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
  probe::AnswerMessageBox(box, IDRETRY);
  ASSERT_TRUE(run.WaitForExit(40000));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(folder.LogOf("l2encdec", "done").size(), 2u) << "the mode did not go on after Retry";
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
}

void WriteFileAt(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD put = 0;
  if (file.Valid()) WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
}

std::string ReadFileAt(const std::wstring& path) {
  std::string bytes;
  return ReadWholeFile(path, bytes) ? "<unreadable>" : bytes;
}

// Makes every folder of path below its drive, as Windows' redirection has them.
void MakeFolders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryW(path.c_str(), nullptr);
}

// Removes a file and the folders above it up to, not including, top.
void RemoveUpTo(const std::wstring& file, const std::wstring& top) {
  DeleteFileW(file.c_str());
  for (std::wstring folder = file.substr(0, file.rfind(L'\\')); folder.size() > top.size();
       folder = folder.substr(0, folder.rfind(L'\\')))
    RemoveDirectoryW(folder.c_str());
}

// A copy in the player's VirtualStore: where the tool and the client may be redirected to it
// (the i686 build's stand-ins, 32-bit without a manifest) the mode does not run, the box names
// the copy, and neither copy of the settings changes; where they cannot be (the x86-64
// build's), the copy is no cause and the mode runs on the folder's own files.
TEST(FolderEndToEnd, AVirtualStoreCopyIsACauseOnlyWhereThePlayersProgramsMayBeRedirected) {
  ScratchFolder local(L"kestrane-localappdata");
  ClientFolder folder;
  ASSERT_EQ(folder.Path()[1], L':');
  const std::wstring store = local.Path() + L"\\VirtualStore" + folder.Path().substr(2);
  const std::wstring copy = store + L"\\l2.ini";
  MakeFolders(store);
  WriteFileAt(copy, "THE CLIENT'S OWN COPY");
  SetEnvironmentVariableW(L"LOCALAPPDATA", local.Path().c_str());  // the launcher inherits it
  LauncherRun run(folder);
  const bool redirected = sizeof(void*) == 4;
  if (!redirected) {
    ASSERT_TRUE(run.WaitForWindow());
    run.Click(L"Game Mode");
    EXPECT_TRUE(run.WaitForExit(40000));
    SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
    EXPECT_EQ(run.ExitCode(), 0u) << "a copy no program is sent to stopped the mode";
    EXPECT_EQ(folder.LogOf("l2encdec", "done").size(), 2u);
    EXPECT_EQ(ReadFileAt(copy), "THE CLIENT'S OWN COPY");
    RemoveUpTo(copy, local.Path());
    return;
  }
  const HWND box = BoxAfterGameMode(run);
  SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
  ASSERT_TRUE(box);
  const std::wstring text = probe::MessageBoxText(box);
  EXPECT_TRUE(Contains(text, copy)) << Narrow(text);
  EXPECT_TRUE(text.starts_with(Widen(FirstLine(Box::RedirectedCopy)))) << Narrow(text);
  EXPECT_TRUE(Contains(text, Widen(StandingText(Standing::NotChangedNotStarted)))) << Narrow(text);
  EXPECT_FALSE(GetDlgItem(box, IDRETRY)) << "Retry offered where it cannot help";
  EXPECT_TRUE(folder.LogOf("l2encdec").empty()) << "the tool was started";
  probe::AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(run.WaitForExit(10000));
  EXPECT_EQ(run.ExitCode(), 1u);
  EXPECT_EQ(folder.Read(L"l2.ini"), folder.EncodedSettings());
  EXPECT_FALSE(folder.Has(L"temp.dat"));
  EXPECT_EQ(ReadFileAt(copy), "THE CLIENT'S OWN COPY");
  RemoveUpTo(copy, local.Path());
}

// The folders below are laid out by scripts/wine-run-as-player, owned by another user: this
// test runs as a player who may read them but not write them.
std::wstring LockedFolder(const wchar_t* name) {
  wchar_t path[MAX_PATH] = L"";
  if (!GetEnvironmentVariableW(L"KESTRANE_LOCKED_FOLDER", path, MAX_PATH)) return {};
  return std::wstring(path) + L"\\" + name;
}

// What the platform makes of such a folder: the probe is refused as the folder's doing, every
// write there as access denied, reading and asking as usual.
TEST(LockedFolderOnDisk, EveryWriteIsRefusedAndTheProbeNamesTheFolder) {
  const std::wstring folder = LockedFolder(L"mode");
  if (folder.empty()) GTEST_SKIP() << "needs the folders of scripts/wine-run-as-player";
  Win32PlatformOps platform;
  ASSERT_FALSE(platform.SetWorkingFolder(Narrow(folder)));
  const OpResult probe = platform.ProbeFolder();
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->kind, FailureKind::FolderDenied) << DescribeFailure(*probe);
  const std::pair<const char*, OpResult> refusals[] = {
      {"a new file", platform.WriteBytes("l2.new", "x", Overwrite::Never)},
      {"the restore", platform.CopyOver("l2.bak", "l2.ini")},
      {"a removal", platform.RemoveFile("l2.bak")},
      {"l2.ini before the tool", platform.ProbeWrite("l2.ini")}};
  for (const auto& [what, refused] : refusals) {
    // Wine deletes on close and, where the folder refuses, keeps the file without a word;
    // Windows refuses the delete.
    if (!refused && std::string_view(what) == "a removal" && platform.FileExists("l2.bak").exists) continue;
    ASSERT_TRUE(refused) << what << " went ahead";
    EXPECT_EQ(refused->kind, FailureKind::AccessDenied) << what << ": " << DescribeFailure(*refused);
  }
  EXPECT_FALSE(platform.ReadBytes("l2.ini").failure);
  EXPECT_TRUE(platform.FileExists("l2.bak").exists);
}

TEST(LockedFolderEndToEnd, AFirstStartNamesTheFolderAndClaimsNoBackup) {
  const std::wstring folder = LockedFolder(L"first-start");
  if (folder.empty()) GTEST_SKIP() << "needs the folders of scripts/wine-run-as-player";
  LauncherRun run(folder);
  const HWND box = run.WaitForErrorBox(15000);
  ASSERT_TRUE(box) << "no box at the first start";
  const std::wstring text = probe::MessageBoxText(box);
  EXPECT_TRUE(text.starts_with(Widen(FirstLine(Box::FolderDenied)))) << Narrow(text);
  EXPECT_TRUE(Contains(text, folder)) << Narrow(text);
  EXPECT_TRUE(Contains(text, Widen(WayOut(Box::FolderDenied)))) << Narrow(text);
  EXPECT_TRUE(Contains(text, Widen(StandingText(Standing::IniNotChanged)))) << Narrow(text);
  EXPECT_FALSE(Contains(text, L"l2.bak is kept")) << Narrow(text);
  EXPECT_FALSE(GetDlgItem(box, IDRETRY)) << "Retry offered where it cannot help";
  probe::AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(run.WaitForExit(10000));
  EXPECT_EQ(run.ExitCode(), 1u);
  EXPECT_EQ(GetFileAttributesW((folder + L"\\l2.bak").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(LockedFolderEndToEnd, AModeNamesTheFolderBeforeTheToolIsStarted) {
  const std::wstring folder = LockedFolder(L"mode");
  if (folder.empty()) GTEST_SKIP() << "needs the folders of scripts/wine-run-as-player";
  LauncherRun run(folder);
  const HWND box = BoxAfterGameMode(run);
  ASSERT_TRUE(box) << "no box after the click";
  const std::wstring text = probe::MessageBoxText(box);
  EXPECT_TRUE(text.starts_with(Widen(FirstLine(Box::FolderDenied)))) << Narrow(text);
  EXPECT_TRUE(Contains(text, L"close this box and start Kestrane as administrator")) << Narrow(text);
  EXPECT_TRUE(Contains(text, Widen(StandingText(Standing::NotChangedNotStarted)))) << Narrow(text);
  EXPECT_FALSE(Contains(text, L"could not decode")) << "the tool was started first:\n" << Narrow(text);
  EXPECT_FALSE(ProcessRunning(L"l2encdec.exe"));
  probe::AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(run.WaitForExit(10000));
  EXPECT_EQ(run.ExitCode(), 1u);
}

}  // namespace
}  // namespace kestrane::testing
