#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

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
  UniqueHandle process;
  UniqueHandle job;
  DWORD processId = 0;
  std::uint64_t createdAt = 0;  // FILETIME ticks, to tell its children from a reused id
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
std::optional<DWORD> ExitCodeIfEnded(const StartedProcess& started);
// Ends the run with all it started; true once none of it runs any more.
bool EndStartedProcess(const StartedProcess& started);
// How far a windowed program has got with its start.
Readiness ReadinessOfProcess(const StartedProcess& started);

}  // namespace kestrane
