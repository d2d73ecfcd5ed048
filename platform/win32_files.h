#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_util.h"

namespace kestrane {

// What failed, on which files, and Windows' error number, read right after the call.
struct OsFailure {
  std::wstring operation;  // "copy a file", "delete a file", ...
  std::vector<std::pair<std::wstring, std::wstring>> details;  // label, value
  DWORD error = 0;
};
using OsResult = std::optional<OsFailure>;  // empty on success

bool PathExists(const std::wstring& path);

// A copy in two steps, so that the destination holds its old bytes or its new ones and
// never a mix: the source is written and flushed to a temporary beside the destination,
// which then replaces the destination.
OsResult WriteTemporaryCopy(const std::wstring& source, const std::wstring& destination);
OsResult CommitTemporaryCopy(const std::wstring& destination);
OsResult CopyFileOver(const std::wstring& source, const std::wstring& destination);
void DiscardTemporaryCopy(const std::wstring& destination);

OsResult DeleteFileNamed(const std::wstring& path);
// Replaces the file's bytes in the same two steps as a copy.
OsResult WriteBytesOver(const std::wstring& destination, std::string_view bytes);
std::optional<std::string> ReadWholeFile(const std::wstring& path);
std::optional<std::pair<std::uint64_t, std::int64_t>> SizeAndWriteTime(const std::wstring& path);

// A started program kept for watching: its process and the job that holds what it starts.
struct StartedProcess {
  UniqueHandle process;
  UniqueHandle job;
};

// Starts applicationPath with commandLine as its command line and returns at once; with
// started, keeps what is needed to watch and end the run.
OsResult StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                      const std::wstring& workingFolder, WORD showWindow, StartedProcess* started = nullptr);
// The exit code once the process and everything in its job have ended.
std::optional<DWORD> ExitCodeIfEnded(const StartedProcess& started);
void EndStartedProcess(const StartedProcess& started);

std::wstring ModulePath();
std::wstring SystemFolder();

}  // namespace kestrane
