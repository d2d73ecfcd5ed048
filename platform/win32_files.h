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

// A copy in two steps, so that the destination holds its old bytes or its new ones and
// never a mix: the source is written and flushed to a temporary beside the destination,
// which then replaces the destination.
// The source is read with other writers shut out, so that it is never copied mid-write.
OsResult WriteTemporaryCopy(const std::wstring& source, const std::wstring& destination);
// With inPlaceIfHeld, a destination that another program holds is rewritten where it
// stands, its length set first. Without replaceExisting an existing destination is kept.
OsResult CommitTemporaryCopy(const std::wstring& destination, bool inPlaceIfHeld = false, bool replaceExisting = true);
OsResult CopyFileOver(const std::wstring& source, const std::wstring& destination, bool inPlaceIfHeld = false);
void DiscardTemporaryCopy(const std::wstring& destination);

OsResult DeleteFileNamed(const std::wstring& path);
// Replaces the file's bytes in the same two steps as a copy; without replaceExisting, a
// file already there is left as it is and the write fails with ERROR_ALREADY_EXISTS.
OsResult WriteBytesOver(const std::wstring& destination, std::string_view bytes, bool replaceExisting = true);
// Reads the file with other writers shut out: one being written fails as a sharing violation.
OsResult ReadWholeFile(const std::wstring& path, std::string& bytes);
// The size and write time; none where the file is absent, as QueryPathExists tells absence.
OsResult SizeAndWriteTime(const std::wstring& path, std::optional<std::pair<std::uint64_t, std::int64_t>>& found);

// Creates and removes a new file in folder; the error where the folder refuses it. A name
// that a file already has (read-only, hidden, held, pending deletion) is passed over for
// the next one: only a refusal with nothing in the way is the folder's. A refusal as "not
// found" in a folder that is there sets folderThere. Where every name is taken, the check
// cannot tell and says nothing.
OsResult ProbeNewFile(const std::wstring& folder, bool& folderThere);
// Opens an existing file for writing, sharing everything, and changes nothing.
OsResult ProbeWritable(const std::wstring& path);
// The local application data folder, as the user's environment names it; empty if unknown.
std::wstring LocalAppDataFolder();
// Whether Windows may redirect the writes of the programs this process starts (file
// virtualization is allowed for its user); true where that cannot be told.
bool VirtualizationAllowed();
// Whether the program at path is one Windows may redirect: a 32-bit (x86) image whose
// embedded manifest, if any, names no execution level. False where it cannot be read.
bool MayBeVirtualized(const std::wstring& path);

std::wstring ModulePath();
std::wstring SystemFolder();

}  // namespace kestrane
