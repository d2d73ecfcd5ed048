#include "platform/win32_files.h"

#include <array>

#include "platform/program_paths.h"
#include "platform/win32_util.h"

namespace kestrane {
namespace {

std::wstring FullPath(const std::wstring& name) {
  const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return name;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
  full.resize(length);
  return full;
}

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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  UniqueHandle probe(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  if (probe.Valid() || GetLastError() == ERROR_SHARING_VIOLATION) return FailureKind::InUse;
  return std::nullopt;
}

OsFailure Refused(Operation operation, std::vector<std::pair<Detail, std::wstring>> details, const std::wstring& path,
                  DWORD error) {
  OsFailure failure{operation, std::move(details), error};
  failure.kind = WhyRefused(path, error);
  return failure;
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

}  // namespace

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
  DWORD error = 0;
  {
    UniqueHandle to(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!to.Valid()) {
      const DWORD refused = GetLastError();
      return CopyFailure(source, destination, refused, WhyRefused(temporary, refused));
    }
    error = Pump(from.Get(), to.Get());
    // The bytes must be on disk before the rename makes them the destination's.
    if (!error && !FlushFileBuffers(to.Get())) error = GetLastError();
  }
  if (error) {
    DeleteFileW(temporary.c_str());
    return CopyFailure(source, destination, error);
  }
  return std::nullopt;
}

OsResult CommitTemporaryCopy(const std::wstring& destination, bool inPlaceIfHeld, bool replaceExisting) {
  const std::wstring temporary = TemporaryFor(destination);
  // A read-only target is refused, as Windows' replace does; Wine's would replace it.
  const DWORD attributes = GetFileAttributesW(destination.c_str());
  if (replaceExisting && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    DeleteFileW(temporary.c_str());
    return CopyFailure(temporary, destination, ERROR_ACCESS_DENIED);
  }
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
  if (MoveFileExW(temporary.c_str(), destination.c_str(), flags)) return std::nullopt;
  DWORD error = GetLastError();
  std::optional<FailureKind> kind = WhyRefused(destination, error);
  // Held by a program that lets others write it: rewritten where it stands. A name pending
  // deletion is no file to rewrite.
  const bool held = error == ERROR_SHARING_VIOLATION || kind == FailureKind::InUse;
  bool damaged = false;
  if (inPlaceIfHeld && held && GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES) {
    error = RewriteInPlace(temporary, destination, damaged);
    kind.reset();
  }
  DeleteFileW(temporary.c_str());
  if (!error) return std::nullopt;
  OsFailure failure = CopyFailure(temporary, destination, error, kind);
  failure.mayBeDamaged = damaged;
  return failure;
}

OsResult CopyFileOver(const std::wstring& source, const std::wstring& destination, bool inPlaceIfHeld) {
  if (auto failure = WriteTemporaryCopy(source, destination)) return failure;
  if (auto failure = CommitTemporaryCopy(destination, inPlaceIfHeld)) {
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

OsResult WriteBytesOver(const std::wstring& destination, std::string_view bytes, bool replaceExisting) {
  const std::wstring temporary = TemporaryFor(destination);
  const auto failed = [&](DWORD error) { return OsFailure{Operation::Write, {{Detail::File, FullPath(destination)}}, error}; };
  DWORD error = 0;
  {
    UniqueHandle to(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!to.Valid()) {
      const DWORD refused = GetLastError();
      return Refused(Operation::Write, {{Detail::File, FullPath(destination)}}, temporary, refused);
    }
    DWORD put = 0;
    if (!WriteFile(to.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr))
      error = GetLastError();
    else if (put != bytes.size())
      error = ERROR_WRITE_FAULT;
    if (!error && !FlushFileBuffers(to.Get())) error = GetLastError();
  }
  if (error) {
    DeleteFileW(temporary.c_str());
    return failed(error);
  }
  if (auto failure = CommitTemporaryCopy(destination, false, replaceExisting)) {
    OsFailure written = failed(failure->error);
    written.kind = failure->kind;
    return written;
  }
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

namespace {

constexpr int kFolderCheckNames = 8;

// Whether something has the name: a file there, or one whose deletion is still pending (a
// scanner held the last check's file), which Windows will not even describe.
bool NameTaken(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace

OsResult ProbeNewFile(const std::wstring& folder, bool& folderThere) {
  folderThere = false;
  const std::wstring prefix = folder + (folder.ends_with(L'\\') ? L"" : L"\\");
  for (int attempt = 1; attempt <= kFolderCheckNames; ++attempt) {
    // Appended, never prefixed: a prefix brings the library's out-of-line wide replace (GCC 14).
    std::wstring path = prefix;
    path += Widen(FolderCheckName(attempt));
    // Created new, and removed when the handle closes, however the program ends.
    UniqueHandle probe(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (probe.Valid()) return std::nullopt;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_SHARING_VIOLATION ||
        (error == ERROR_ACCESS_DENIED && NameTaken(path)))
      continue;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    folderThere = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return OsFailure{Operation::CheckFolder, {{Detail::Folder, folder}}, error};
  }
  return std::nullopt;  // every name taken: the check cannot tell
}

// Windows refuses to open a read-only file for writing, even to an administrator; Wine, run
// as root, would open it.
OsResult ProbeWritable(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return OsFailure{Operation::OpenForWriting, {{Detail::File, FullPath(path)}}, ERROR_ACCESS_DENIED};
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file.Valid()) return std::nullopt;
  const DWORD error = GetLastError();
  return Refused(Operation::OpenForWriting, {{Detail::File, FullPath(path)}}, path, error);
}

std::wstring LocalAppDataFolder() {
  const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), size);
  folder.resize(length < size ? length : 0);
  return folder;
}

bool VirtualizationAllowed() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
  UniqueHandle owned(token);
  DWORD allowed = 1;
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenVirtualizationAllowed, &allowed, sizeof(allowed), &size)) return true;
  return allowed != 0;
}

namespace {

// The first bytes of an image: where its PE header says it runs.
bool IsX86Image(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.Valid()) return false;
  std::array<unsigned char, 4096> head{};
  DWORD got = 0;
  if (!ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr) || got < 0x40) return false;
  if (head[0] != 'M' || head[1] != 'Z') return false;
  const DWORD pe = head[0x3c] | head[0x3d] << 8 | head[0x3e] << 16 | static_cast<DWORD>(head[0x3f]) << 24;
  if (pe > got - 6 || head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] || head[pe + 3]) return false;
  return (head[pe + 4] | head[pe + 5] << 8) == IMAGE_FILE_MACHINE_I386;
}

// The embedded manifest's text, read as data: nothing of the program runs.
std::string EmbeddedManifest(const std::wstring& path) {
  const HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!image) return {};
  std::string manifest;
  if (const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))  // RT_MANIFEST
    if (const HGLOBAL loaded = LoadResource(image, found))
      if (const void* bytes = LockResource(loaded))
        manifest.assign(static_cast<const char*>(bytes), SizeofResource(image, found));
  FreeLibrary(image);
  return manifest;
}

}  // namespace

bool MayBeVirtualized(const std::wstring& path) {
  return IsX86Image(path) && EmbeddedManifest(path).find("requestedExecutionLevel") == std::string::npos;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring SystemFolder() {
  std::wstring folder(MAX_PATH, L'\0');
  const UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  folder.resize(length < folder.size() ? length : 0);
  return folder;
}

}  // namespace kestrane
