#include "platform/win32_files.h"

#include <array>

#include "platform/program_paths.h"
#include "platform/win32_util.h"

namespace kestrane {

std::wstring FullPath(const std::wstring& name) {
  const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return name;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
  full.resize(length);
  return full;
}

bool MarkedReadOnly(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

namespace {

std::wstring TemporaryFor(const std::wstring& destination) {
  return Widen(TemporaryCopyName(Narrow(destination)));
}

OsFailure CopyFailure(const std::wstring& source, const std::wstring& destination, DWORD error,
                      std::optional<FailureKind> kind = std::nullopt) {
  OsFailure failure{Operation::Copy, {{Detail::From, FullPath(source)}, {Detail::To, FullPath(destination)}}, error};
  failure.kind = kind;
  return failure;
}

// Copies everything readable from `from` to `to`; 0 on success, else the error number.
DWORD Pump(HANDLE from, HANDLE to) {
  std::array<char, 64 * 1024> buffer{};
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return GetLastError();
    if (got == 0) return 0;
    DWORD put = 0;
    if (!WriteFile(to, buffer.data(), got, &put, nullptr)) return GetLastError();
    if (put != got) return ERROR_WRITE_FAULT;
  }
}

// Sharing reads only: while another program has the file open for writing, the open fails
// as in use, and nobody can start writing it while it is read.
UniqueHandle OpenForReading(const std::wstring& path) {
  return UniqueHandle(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whether a name that Windows will not even describe is listed in its folder: a file whose
// deletion is still pending (a scanner held it when it was deleted) clears by itself.
bool PendingDeletion(const std::wstring& path) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// "Access denied" has causes that call for different advice: a file or folder that may not
// be written (a read-only mark, permissions), and a file that another program merely has
// open, whatever its sharing, or has mapped, or whose deletion is pending, which Windows will
// not replace, delete or create anew. The others are in use, and are reported as such, with
// Windows' own error, so that they are tried again.
std::optional<FailureKind> WhyRefused(const std::wstring& path, DWORD error) {
  if (error != ERROR_ACCESS_DENIED) return std::nullopt;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (PendingDeletion(path)) return FailureKind::InUse;
    return std::nullopt;  // no such file: the folder refused
  }
  if (MarkedReadOnly(attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  UniqueHandle probe(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  if (probe.Valid() || GetLastError() == ERROR_SHARING_VIOLATION) return FailureKind::InUse;
  return std::nullopt;
}

bool IsBareName(const std::wstring& path) { return path.find_first_of(L"\\/:") == std::wstring::npos; }

// What a query's error says: absent (empty), or a failure. "Path not found" for a name in the
// working folder means the folder itself is gone (a drive pulled, a share dropped).
OsResult QueryFailure(const std::wstring& path, DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (error == ERROR_PATH_NOT_FOUND && !IsBareName(path)) return std::nullopt;
  OsFailure failure{Operation::Query, {{Detail::File, FullPath(path)}}, error};
  if (error == ERROR_PATH_NOT_FOUND) failure.kind = FailureKind::DriveGone;
  if ((error == ERROR_ACCESS_DENIED || error == ERROR_DELETE_PENDING) && PendingDeletion(path))
    failure.kind = FailureKind::InUse;
  return failure;
}

// For a destination that another program holds open but lets others write: it cannot be
// replaced, but it can be rewritten where it stands. The length comes first, so that a file
// that cannot take it (one mapped by another program refuses a shorter length) keeps every
// byte; from then on a failure leaves it damaged, and says so.
DWORD RewriteInPlace(const std::wstring& temporary, const std::wstring& destination, bool& damaged) {
  UniqueHandle from = OpenForReading(temporary);
  if (!from.Valid()) return GetLastError();
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(from.Get(), &length)) return GetLastError();
  UniqueHandle to(CreateFileW(destination.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!to.Valid()) return GetLastError();
  if (!SetFilePointerEx(to.Get(), length, nullptr, FILE_BEGIN) || !SetEndOfFile(to.Get())) return GetLastError();
  damaged = true;
  const LARGE_INTEGER start{};
  if (!SetFilePointerEx(to.Get(), start, nullptr, FILE_BEGIN)) return GetLastError();
  if (const DWORD error = Pump(from.Get(), to.Get())) return error;
  if (!FlushFileBuffers(to.Get())) return GetLastError();
  damaged = false;
  return 0;
}

// Writes a temporary with write(handle), which gives 0 or an error number, and flushes it: the
// bytes must be on disk before the rename makes them the destination's. Where it fails, no
// temporary is left, and a refusal to create it is explained in why.
template <typename Write>
DWORD WriteTemporary(const std::wstring& temporary, Write write, std::optional<FailureKind>& why) {
  DWORD error = 0;
  {
    UniqueHandle to(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!to.Valid()) {
      error = GetLastError();
      why = WhyRefused(temporary, error);
      return error;
    }
    error = write(to.Get());
    if (!error && !FlushFileBuffers(to.Get())) error = GetLastError();
  }
  if (error) DeleteFileW(temporary.c_str());
  return error;
}

}  // namespace

OsFailure Refused(Operation operation, std::vector<std::pair<Detail, std::wstring>> details, const std::wstring& path,
                  DWORD error) {
  OsFailure failure{operation, std::move(details), error};
  failure.kind = WhyRefused(path, error);
  return failure;
}

OsResult QueryPathExists(const std::wstring& path, bool& exists) {
  exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (exists) return std::nullopt;
  return QueryFailure(path, GetLastError());
}

OsResult WriteTemporaryCopy(const std::wstring& source, const std::wstring& destination) {
  const std::wstring temporary = TemporaryFor(destination);
  UniqueHandle from = OpenForReading(source);
  if (!from.Valid()) {
    const DWORD error = GetLastError();
    return CopyFailure(source, destination, error, WhyRefused(source, error));
  }
  const auto pump = [&from](HANDLE to) { return Pump(from.Get(), to); };
  std::optional<FailureKind> why;
  if (const DWORD error = WriteTemporary(temporary, pump, why)) return CopyFailure(source, destination, error, why);
  return std::nullopt;
}

OsResult CommitTemporaryCopy(const std::wstring& destination, CopyOptions options) {
  const std::wstring temporary = TemporaryFor(destination);
  // A read-only target is refused, as Windows' replace does; Wine's would replace it.
  if (options.replaceExisting && MarkedReadOnly(GetFileAttributesW(destination.c_str()))) {
    DeleteFileW(temporary.c_str());
    return CopyFailure(temporary, destination, ERROR_ACCESS_DENIED);
  }
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (options.replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
  if (MoveFileExW(temporary.c_str(), destination.c_str(), flags)) return std::nullopt;
  DWORD error = GetLastError();
  std::optional<FailureKind> kind = WhyRefused(destination, error);
  // Held by a program that lets others write it: rewritten where it stands. A name pending
  // deletion is no file to rewrite.
  const bool held = error == ERROR_SHARING_VIOLATION || kind == FailureKind::InUse;
  bool damaged = false;
  if (options.inPlaceIfHeld && held && GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES) {
    error = RewriteInPlace(temporary, destination, damaged);
    kind.reset();
  }
  DeleteFileW(temporary.c_str());
  if (!error) return std::nullopt;
  OsFailure failure = CopyFailure(temporary, destination, error, kind);
  failure.mayBeDamaged = damaged;
  return failure;
}

OsResult CopyFileOver(const std::wstring& source, const std::wstring& destination, CopyOptions options) {
  if (auto failure = WriteTemporaryCopy(source, destination)) return failure;
  if (auto failure = CommitTemporaryCopy(destination, options)) {
    failure->details.front().second = FullPath(source);
    return failure;
  }
  return std::nullopt;
}

void DiscardTemporaryCopy(const std::wstring& destination) { DeleteFileW(TemporaryFor(destination).c_str()); }

// A file that is already gone is deleted: testing first and deleting then would report a
// file that vanished in between as an error.
OsResult DeleteFileNamed(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return std::nullopt;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;
  return Refused(Operation::Delete, {{Detail::File, FullPath(path)}}, path, error);
}

OsResult WriteBytesOver(const std::wstring& destination, std::string_view bytes, Overwrite overwrite) {
  const auto failed = [&](DWORD error, std::optional<FailureKind> kind) {
    OsFailure failure{Operation::Write, {{Detail::File, FullPath(destination)}}, error};
    failure.kind = kind;
    return failure;
  };
  const auto write = [bytes](HANDLE to) -> DWORD {
    DWORD put = 0;
    if (!WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr)) return GetLastError();
    return put == bytes.size() ? 0 : ERROR_WRITE_FAULT;
  };
  std::optional<FailureKind> why;
  if (const DWORD error = WriteTemporary(TemporaryFor(destination), write, why)) return failed(error, why);
  if (auto failure = CommitTemporaryCopy(destination, {.replaceExisting = overwrite == Overwrite::Allowed}))
    return failed(failure->error, failure->kind);
  return std::nullopt;
}

OsResult ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const auto failed = [&](DWORD error) { return OsFailure{Operation::Read, {{Detail::File, FullPath(path)}}, error}; };
  bytes.clear();
  UniqueHandle file = OpenForReading(path);
  if (!file.Valid()) {
    const DWORD error = GetLastError();
    return Refused(Operation::Read, {{Detail::File, FullPath(path)}}, path, error);
  }
  std::array<char, 64 * 1024> buffer{};
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      bytes.clear();
      return failed(GetLastError());
    }
    if (got == 0) return std::nullopt;
    bytes.append(buffer.data(), got);
  }
}

OsResult SizeAndWriteTime(const std::wstring& path, std::optional<std::pair<std::uint64_t, std::int64_t>>& found) {
  found.reset();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return QueryFailure(path, GetLastError());
  const auto join = [](DWORD high, DWORD low) { return static_cast<std::uint64_t>(high) << 32 | low; };
  found = std::pair{join(data.nFileSizeHigh, data.nFileSizeLow),
                    static_cast<std::int64_t>(join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime))};
  return std::nullopt;
}

}  // namespace kestrane
