#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform_ops.h"
#include "platform/win32_util.h"

namespace kestrane {

// What failed, on which files, and Windows' error number, read right after the call.
struct OsFailure {
  Operation operation = Operation::None;
  std::vector<std::pair<Detail, std::wstring>> details;
  DWORD error = 0;
  bool mayBeDamaged = false;  // a rewrite in place stopped after it had changed the file
  // Where the error's number alone misleads: a file held or pending deletion is refused as
  // access denied; a name in the working folder whose path is not found is the folder gone.
  std::optional<FailureKind> kind;
};
using OsResult = std::optional<OsFailure>;  // empty on success

// Only "file not found", and "path not found" for a path outside the working folder, make
// exists false without a failure.
OsResult QueryPathExists(const std::wstring& path, bool& exists);

// How a temporary copy takes the destination's place.
struct CopyOptions {
  // A destination that another program holds is rewritten where it stands, its length set first.
  bool inPlaceIfHeld = false;
  // Off, an existing destination is kept and the copy fails with ERROR_ALREADY_EXISTS.
  bool replaceExisting = true;
};

// A copy in two steps, so that the destination holds its old bytes or its new ones and
// never a mix: the source is written and flushed to a temporary beside the destination,
// which then replaces the destination.
// The source is read with other writers shut out, so that it is never copied mid-write.
OsResult WriteTemporaryCopy(const std::wstring& source, const std::wstring& destination);
OsResult CommitTemporaryCopy(const std::wstring& destination, CopyOptions options = {});
OsResult CopyFileOver(const std::wstring& source, const std::wstring& destination, CopyOptions options = {});
void DiscardTemporaryCopy(const std::wstring& destination);

OsResult DeleteFileNamed(const std::wstring& path);
// Replaces the file's bytes in the same two steps as a copy, never in place: a write goes
// only to a file that nothing holds. With Overwrite::Never an existing file is kept and the
// write fails with ERROR_ALREADY_EXISTS.
OsResult WriteBytesOver(const std::wstring& destination, std::string_view bytes, Overwrite overwrite = Overwrite::Allowed);
// Reads the file with other writers shut out: one being written fails as a sharing violation.
OsResult ReadWholeFile(const std::wstring& path, std::string& bytes);
// The size and write time; none where the file is absent, as QueryPathExists tells absence.
OsResult SizeAndWriteTime(const std::wstring& path, std::optional<std::pair<std::uint64_t, std::int64_t>>& found);

// A name as the failures show it: the full path it stands for.
std::wstring FullPath(const std::wstring& name);
// Whether GetFileAttributesW's answer carries the read-only mark, which Windows honours even
// for an administrator; Wine, run as root, would write the file.
bool MarkedReadOnly(DWORD attributes);
// A failure of operation on path, with "access denied" told apart: a file that another program
// has open, mapped, or pending deletion is in use rather than refused.
OsFailure Refused(Operation operation, std::vector<std::pair<Detail, std::wstring>> details, const std::wstring& path,
                  DWORD error);

}  // namespace kestrane
