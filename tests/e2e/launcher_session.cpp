#include "tests/e2e/launcher_session.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "tests/e2e/window_probe.h"
#include "tests/standins/standin_common.h"

namespace kestrane::testing {

const std::string ClientFolder::kPlainSettings =
    "[URL]\r\nServerAddr=login.example.net\r\nServerPort=2106\r\nIsL2NetLogin=False\r\nIsL2Console=False\r\n"
    "IsUseCommand=False\r\nL2ThreadFilter=0\r\nLanguageCode=en\r\n\r\n[Video]\r\nWidth=1280\r\nHeight=720\r\n"
    "Fullscreen=False\r\n\r\n[Sound]\r\nMasterVolume=0.8\r\nMusicVolume=0.5\r\n";

std::int64_t UnixMsNow() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  const auto ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000 - 11644473600000ull);
}

void ExpectWithin(std::int64_t actual, std::int64_t from, std::int64_t to, const char* what) {
  EXPECT_GE(actual, from) << what << " came too early";
  EXPECT_LE(actual, to) << what << " came too late";
}

IniContents WithMode(const std::string& game, const std::string& filter) {
  IniContents expected = ParseIni(ClientFolder::kPlainSettings);
  for (const char* key : {"IsL2NetLogin", "IsL2Console", "IsUseCommand"}) expected["URL"][key] = game;
  expected["URL"]["L2ThreadFilter"] = filter;
  return expected;
}

std::wstring BuildFolder() { return standin::ExeFolder(); }

ClientFolder::ClientFolder(const std::wstring& leaf) : ScratchFolder(leaf) {
  CopyProgram(L"Kestrane.exe", L"Kestrane.exe");
  CopyProgram(L"l2encdec.exe", L"l2encdec.exe");
  CopyProgram(L"l2.exe", L"l2.exe");
  Write(L"l2.ini", EncodedSettings());
}

void ClientFolder::CopyProgram(const std::wstring& builtName, const std::wstring& asName) const {
  if (!CopyFileW((BuildFolder() + L"\\" + builtName).c_str(), File(asName).c_str(), FALSE))
    throw std::runtime_error("cannot copy a built program into the client folder");
}

std::string ClientFolder::EncodedSettings() const { return standin::Encode(kPlainSettings, 413); }

bool ClientFolder::Has(const std::wstring& name) const {
  return GetFileAttributesW(File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<LogLine> ClientFolder::Log() const {
  std::vector<LogLine> lines;
  std::istringstream in(Read(L"standins.log"));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto first = line.find(' ');
    const auto second = line.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    lines.push_back({std::stoll(line.substr(0, first)), line.substr(first + 1, second - first - 1),
                     line.substr(second + 1)});
  }
  return lines;
}

std::vector<LogLine> ClientFolder::LogOf(const std::string& program, const std::string& prefix) const {
  std::vector<LogLine> out;
  for (auto& line : Log())
    if (line.program == program && line.text.starts_with(prefix)) out.push_back(line);
  return out;
}

bool ClientFolder::WaitForLog(const std::string& program, const std::string& prefix, int timeoutMs) const {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    if (!LogOf(program, prefix).empty()) return true;
    Sleep(100);
  }
  return false;
}

LauncherRun::LauncherRun(const ClientFolder& folder, const std::wstring& workingFolder)
    : LauncherRun(folder.Path(), workingFolder) {}

LauncherRun::LauncherRun(const std::wstring& folder, const std::wstring& workingFolder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const std::wstring program = folder + L"\\Kestrane.exe";
  std::wstring commandLine = L"\"" + program + L"\"";
  const std::wstring cwd = workingFolder.empty() ? folder : workingFolder;
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &startup,
                      &process))
    throw std::runtime_error("cannot start Kestrane.exe");
  CloseHandle(process.hThread);
  process_.Reset(process.hProcess);
  processId_ = process.dwProcessId;
}

LauncherRun::~LauncherRun() {
  if (WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.Get(), 99);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

HWND LauncherRun::WaitForWindow(int timeoutMs) {
  window_ = probe::WaitForFormWindow(processId_, timeoutMs);
  return window_;
}

std::int64_t LauncherRun::Click(const std::wstring& caption) {
  const HWND button = window_ ? probe::FindButton(window_, caption) : nullptr;
  if (!button) throw std::runtime_error("no such button to click");
  const auto at = UnixMsNow();
  probe::Click(button);
  return at;
}

HWND LauncherRun::WaitForErrorBox(int timeoutMs) const {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    if (const HWND box = probe::FindMessageBox(processId_)) return box;
    Sleep(100);
  }
  return nullptr;
}

bool ProcessRunning(const std::wstring& exeName) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) return true;
  return false;
}

bool LauncherRun::WaitForExit(int timeoutMs) {
  if (WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return false;
  exitTime_ = UnixMsNow();
  return true;
}

DWORD LauncherRun::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.Get(), &code);
  return code;
}

}  // namespace kestrane::testing
