#include "platform/win32_processes.h"

namespace kestrane {
namespace {

OsFailure StartFailure(const std::wstring& applicationPath, const std::wstring& commandLine, DWORD error) {
  return {Operation::Start, {{Detail::Program, applicationPath}, {Detail::CommandLine, commandLine}}, error};
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

// The job's last handle is Kestrane's: when Kestrane ends, killed or crashed or logged off,
// the system closes it and ends every process of the run, so that none can write the
// settings after Kestrane has put them back.
UniqueHandle JobThatEndsWithKestrane() {
  UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job.Valid() &&
      !SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
    job.Reset();
  return job;
}

bool JobEmpty(const StartedProcess& started) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  return QueryInformationJobObject(started.job.Get(), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof(accounting), nullptr) &&
         accounting.ActiveProcesses == 0;
}

bool RunOver(const StartedProcess& started) {
  if (WaitForSingleObject(started.process.Get(), 0) != WAIT_OBJECT_0) return false;
  return !started.job.Valid() || JobEmpty(started);
}

}  // namespace

// The run starts suspended, so that it is in its job before it can start anything. When
// Kestrane itself runs in a job that allows no nested one (Windows 7), the run is started
// again outside that job where the job allows it. Where it does not, the run has no job:
// it is watched by its interpreter alone, and a time-out cannot promise to end all of it.
OsResult StartContainedProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                               const std::wstring& workingFolder, WORD showWindow, StartedProcess& started,
                               RunHolding holding) {
  UniqueHandle job(holding == RunHolding::Job ? JobThatEndsWithKestrane() : UniqueHandle());
  PROCESS_INFORMATION process{};
  for (const DWORD flags : {DWORD{CREATE_SUSPENDED}, DWORD{CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB}}) {
    if (!job.Valid()) break;
    if (!Create(applicationPath, commandLine, workingFolder, showWindow, flags, process)) {
      if (flags & CREATE_BREAKAWAY_FROM_JOB) break;  // our job forbids it
      return StartFailure(applicationPath, commandLine, GetLastError());
    }
    if (AssignProcessToJobObject(job.Get(), process.hProcess)) break;
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
  started.process.Reset(process.hProcess);
  started.job = std::move(job);
  ResumeThread(thread.Get());
  return std::nullopt;
}

OsResult StartPlainProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                           const std::wstring& workingFolder, WORD showWindow, StartedProcess& started) {
  PROCESS_INFORMATION process{};
  if (!Create(applicationPath, commandLine, workingFolder, showWindow, 0, process))
    return StartFailure(applicationPath, commandLine, GetLastError());
  CloseHandle(process.hThread);
  started.process.Reset(process.hProcess);
  return std::nullopt;
}

std::optional<DWORD> ExitCodeIfEnded(const StartedProcess& started) {
  if (!RunOver(started)) return std::nullopt;  // the interpreter may have ended while what it started runs on
  DWORD code = 0;
  if (!GetExitCodeProcess(started.process.Get(), &code)) return std::nullopt;
  return code;
}

// Ending takes a moment to show, so the job is looked at again for a few seconds. Without a
// job, what the interpreter started cannot be known for certain, so that is never claimed.
bool EndStartedProcess(StartedProcess& started) {
  if (!started.job.Valid()) {
    TerminateProcess(started.process.Get(), 1);
    WaitForSingleObject(started.process.Get(), 1000);
    return false;
  }
  for (int attempt = 0; attempt < 50; ++attempt) {
    TerminateJobObject(started.job.Get(), 1);
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
