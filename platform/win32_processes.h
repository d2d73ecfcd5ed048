#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform_ops.h"
#include "platform/win32_files.h"
#include "platform/win32_util.h"

namespace kestrane {

// How a watched run is held together: in a job of ours, or, where no job can be had, by
// following the processes it starts.
enum class RunHolding { Job, ProcessTree };

// A started program kept for watching: its process and, for a contained run, the job that
// holds what it starts.
struct StartedProcess {
  struct Member {
    DWORD id = 0;
    std::uint64_t createdAt = 0;  // FILETIME ticks, to tell its children from a reused id
  };
  UniqueHandle process;
  UniqueHandle job;
  // The run's processes seen so far, ended ones too: what an ended one started is still
  // the run's, and is found through it.
  std::vector<Member> family;
};

// Starts applicationPath with commandLine as its command line and returns at once. With
// started, the run is contained (see RunHolding); without, it is started plainly.
OsResult StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                      const std::wstring& workingFolder, WORD showWindow, StartedProcess* started = nullptr,
                      RunHolding holding = RunHolding::Job);
// Starts a program plainly, keeping only its process, to ask how far its start has got.
OsResult StartPlainProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                           const std::wstring& workingFolder, WORD showWindow, StartedProcess* started);
// The exit code once the process and everything it started have ended.
std::optional<DWORD> ExitCodeIfEnded(StartedProcess& started);
// Ends the run with all it started; true once none of it runs any more.
bool EndStartedProcess(StartedProcess& started);
// How far a windowed program has got with its start.
Readiness ReadinessOfProcess(const StartedProcess& started);

}  // namespace kestrane
