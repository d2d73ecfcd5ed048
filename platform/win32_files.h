#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

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

// Starts applicationPath with commandLine as its command line and returns at once.
OsResult StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                      const std::wstring& workingFolder, WORD showWindow);

std::wstring ModulePath();
std::wstring SystemFolder();

// The text of the error report for a failure.
std::wstring DescribeFailure(const OsFailure& failure);

}  // namespace kestrane
