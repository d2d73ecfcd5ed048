#include "platform/win32_processes.h"

#include <tlhelp32.h>

#include <vector>

namespace kestrane {
namespace {

std::uint64_t CreationTime(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return static_cast<std::uint64_t>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

OsFailure StartFailure(const std::wstring& applicationPath, const std::wstring& commandLine, DWORD error) {
  return {L"start a program", {{L"Program", applicationPath}, {L"Command line", commandLine}}, error};
}

// CreateProcessW may write into its command line, so it gets a copy.
bool Create(const std::wstring& applicationPath, const std::wstring& commandLine, const std::wstring& workingFolder,
            WORD showWindow, DWORD flags, PROCESS_INFORMATION& process) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showWindow;
  std::wstring writable = commandLine;
  return CreateProcessW(applicationPath.c_str(), writable.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        workingFolder.c_str(), &startup, &process) != FALSE;
}

// A process whose parent is one of the run's and which started after it: a process id can
// be reused once its process ended, its start time cannot. The run's processes are learnt
// as they are seen, so that one whose parent has ended is still known.
std::vector<DWORD> LiveDescendants(StartedProcess& started) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return {};
  std::vector<PROCESSENTRY32W> entries;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
    entries.push_back(entry);
  const auto member = [&](DWORD id) -> const StartedProcess::Member* {
    for (const auto& known : started.family)
      if (known.id == id) return &known;
    return nullptr;
  };
  for (bool learnt = true; learnt;) {
    learnt = false;
    for (const auto& candidate : entries) {
      const auto* parent = member(candidate.th32ParentProcessID);
      if (!parent || member(candidate.th32ProcessID)) continue;
      UniqueHandle child(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, candidate.th32ProcessID));
      const std::uint64_t created = child.Valid() ? CreationTime(child.Get()) : 0;
      if (created < parent->createdAt) continue;
      started.family.push_back({candidate.th32ProcessID, created});
      learnt = true;
    }
  }
  std::vector<DWORD> live;
  for (size_t i = 1; i < started.family.size(); ++i) {
    UniqueHandle child(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, started.family[i].id));
    if (child.Valid() && CreationTime(child.Get()) == started.family[i].createdAt &&
        WaitForSingleObject(child.Get(), 0) == WAIT_TIMEOUT)
      live.push_back(started.family[i].id);
  }
  return live;
}

bool JobEmpty(const StartedProcess& started) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  return QueryInformationJobObject(started.job.Get(), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof(accounting), nullptr) &&
         accounting.ActiveProcesses == 0;
}

bool RunOver(StartedProcess& started) {
  if (WaitForSingleObject(started.process.Get(), 0) != WAIT_OBJECT_0) return false;
  return started.job.Valid() ? JobEmpty(started) : LiveDescendants(started).empty();
}

}  // namespace

// A watched run starts suspended, so that it is in its job before it can start anything.
// When Kestrane itself runs in a job that allows no nested one (Windows 7), the run is
// started again outside that job where the job allows it; where it does not, the run is
// followed by its processes instead, so that a time-out still ends all of it.
OsResult StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                      const std::wstring& workingFolder, WORD showWindow, StartedProcess* started,
                      RunHolding holding) {
  if (!started) {
    PROCESS_INFORMATION process{};
    if (!Create(applicationPath, commandLine, workingFolder, showWindow, 0, process))
      return StartFailure(applicationPath, commandLine, GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return std::nullopt;
  }
  UniqueHandle job(holding == RunHolding::Job ? CreateJobObjectW(nullptr, nullptr) : nullptr);
  PROCESS_INFORMATION process{};
  for (const DWORD flags : {DWORD{CREATE_SUSPENDED}, DWORD{CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB}}) {
    if (!Create(applicationPath, commandLine, workingFolder, showWindow, flags, process)) {
      if (flags & CREATE_BREAKAWAY_FROM_JOB) break;  // our job forbids it: keep the first way, untried
      return StartFailure(applicationPath, commandLine, GetLastError());
    }
    if (!job.Valid() || AssignProcessToJobObject(job.Get(), process.hProcess)) break;
    // Suspended, it has run nothing yet: ending it leaves nothing behind.
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = {};
  }
  if (!process.hProcess) {
    job.Reset();
    if (!Create(applicationPath, commandLine, workingFolder, showWindow, CREATE_SUSPENDED, process))
      return StartFailure(applicationPath, commandLine, GetLastError());
  }
  UniqueHandle thread(process.hThread);
  started->process.Reset(process.hProcess);
  started->job = std::move(job);
  started->family = {{process.dwProcessId, CreationTime(process.hProcess)}};
  ResumeThread(thread.Get());
  return std::nullopt;
}

OsResult StartPlainProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                           const std::wstring& workingFolder, WORD showWindow, StartedProcess* started) {
  PROCESS_INFORMATION process{};
  if (!Create(applicationPath, commandLine, workingFolder, showWindow, 0, process))
    return StartFailure(applicationPath, commandLine, GetLastError());
  CloseHandle(process.hThread);
  started->process.Reset(process.hProcess);
  started->family = {{process.dwProcessId, CreationTime(process.hProcess)}};
  return std::nullopt;
}

std::optional<DWORD> ExitCodeIfEnded(StartedProcess& started) {
  if (!RunOver(started)) return std::nullopt;  // the interpreter may have ended while what it started runs on
  DWORD code = 0;
  if (!GetExitCodeProcess(started.process.Get(), &code)) return std::nullopt;
  return code;
}

// Ending takes a moment to show, so the run is looked at again for a few seconds.
bool EndStartedProcess(StartedProcess& started) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (started.job.Valid()) TerminateJobObject(started.job.Get(), 1);
    for (const DWORD id : LiveDescendants(started)) {
      UniqueHandle child(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
      if (child.Valid()) TerminateProcess(child.Get(), 1);
    }
    TerminateProcess(started.process.Get(), 1);
    WaitForSingleObject(started.process.Get(), 100);
    if (RunOver(started)) return true;
  }
  return false;
}

// WaitForInputIdle fails at once for a console program, which never waits for input.
Readiness ReadinessOfProcess(const StartedProcess& started) {
  if (WaitForSingleObject(started.process.Get(), 0) == WAIT_OBJECT_0) return Readiness::NoWait;
  switch (WaitForInputIdle(started.process.Get(), 0)) {
    case 0: return Readiness::Ready;
    case WAIT_TIMEOUT: return Readiness::Starting;
    default: return Readiness::NoWait;
  }
}

}  // namespace kestrane
