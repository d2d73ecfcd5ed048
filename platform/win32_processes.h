#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/platform_ops.h"
#include "platform/win32_files.h"
#include "platform/win32_util.h"

namespace kestrane {

// How a tool run is held together: in a job of ours that ends it when Kestrane ends, or,
// where no job can be had, not at all (its processes cannot all be known for certain).
enum class RunHolding { Job, NoJob };

// A started program kept for watching: its process and, for a contained run, its job.
struct StartedProcess {
  UniqueHandle process;
  UniqueHandle job;
};

// Starts a tool run in a job that ends all of it when it is stopped or when Kestrane ends,
// however Kestrane ends. RunHolding::NoJob starts it as it would be where no job can be had.
OsResult StartContainedProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                               const std::wstring& workingFolder, WORD showWindow, StartedProcess& started,
                               RunHolding holding = RunHolding::Job);
// Starts a program plainly, keeping only its process, to ask how far its start has got.
OsResult StartPlainProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                           const std::wstring& workingFolder, WORD showWindow, StartedProcess& started);
// The exit code once the process, and in a job everything it started, have ended.
std::optional<DWORD> ExitCodeIfEnded(const StartedProcess& started);
// Ends the run with all it started; true only once all of it has certainly ended.
bool EndStartedProcess(StartedProcess& started);
// How far a windowed program has got with its start.
Readiness ReadinessOfProcess(const StartedProcess& started);

}  // namespace kestrane
