#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_util.h"
#include "tests/support/ini_contents.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {

// Wine needs a moment to start a process; the program's own timing is checked exactly.
constexpr std::int64_t kStartSlackMs = 3000;

std::int64_t UnixMsNow();
void ExpectWithin(std::int64_t actual, std::int64_t from, std::int64_t to, const char* what);
// The client folder's plain settings with a mode's four values.
IniContents WithMode(const std::string& game, const std::string& filter);
// Whether a process of that executable name runs in this Wine session or Windows desktop.
bool ProcessRunning(const std::wstring& exeName);
// The folder that holds this test and the programs built beside it.
std::wstring BuildFolder();

struct LogLine {
  std::int64_t ms = 0;
  std::string program;
  std::string text;
};

// A client folder: the launcher, the stand-in tool and client, and an encoded "l2.ini".
class ClientFolder : public ScratchFolder {
 public:
  static const std::string kPlainSettings;

  explicit ClientFolder(const std::wstring& leaf = L"kestrane-client");
  void CopyProgram(const std::wstring& builtName, const std::wstring& asName) const;
  std::string EncodedSettings() const;  // kPlainSettings, encoded as the client keeps it
  bool Has(const std::wstring& name) const;
  std::vector<LogLine> Log() const;
  // Lines of one program whose text starts with prefix.
  std::vector<LogLine> LogOf(const std::string& program, const std::string& prefix = "") const;
  // Waits until a log line of program starts with prefix; false on time-out.
  bool WaitForLog(const std::string& program, const std::string& prefix, int timeoutMs) const;
};

// One run of the real Kestrane.exe from a client folder, observed from outside.
class LauncherRun {
 public:
  explicit LauncherRun(const ClientFolder& folder, const std::wstring& workingFolder = L"");
  // Kestrane.exe of a folder that the test did not lay out itself.
  explicit LauncherRun(const std::wstring& folder, const std::wstring& workingFolder = L"");
  LauncherRun(const LauncherRun&) = delete;
  LauncherRun& operator=(const LauncherRun&) = delete;
  ~LauncherRun();

  DWORD ProcessId() const { return processId_; }
  HWND WaitForWindow(int timeoutMs = 15000);
  // Clicks a button of the window; returns the time of the click.
  std::int64_t Click(const std::wstring& caption);
  // The error box the program shows, once it shows; nullptr on time-out.
  HWND WaitForErrorBox(int timeoutMs) const;
  // True when the process ended within the time; ExitTime() and ExitCode() tell how.
  bool WaitForExit(int timeoutMs);
  std::int64_t ExitTime() const { return exitTime_; }
  DWORD ExitCode() const;

 private:
  UniqueHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
  std::int64_t exitTime_ = 0;
};

}  // namespace kestrane::testing
