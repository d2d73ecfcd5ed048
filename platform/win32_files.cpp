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

OsFailure CopyFailure(const std::wstring& source, const std::wstring& destination, DWORD error) {
  return {L"copy a file", {{L"From", FullPath(source)}, {L"To", FullPath(destination)}}, error};
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

UniqueHandle OpenForReading(const std::wstring& path) {
  return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The old way, for a destination that another program holds open but lets others write:
// it cannot be replaced, but it can be rewritten where it stands.
DWORD RewriteInPlace(const std::wstring& temporary, const std::wstring& destination) {
  UniqueHandle from = OpenForReading(temporary);
  if (!from.Valid()) return GetLastError();
  UniqueHandle to(CreateFileW(destination.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!to.Valid()) return GetLastError();
  if (const DWORD error = Pump(from.Get(), to.Get())) return error;
  if (!SetEndOfFile(to.Get())) return GetLastError();
  if (!FlushFileBuffers(to.Get())) return GetLastError();
  return 0;
}

}  // namespace

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

OsResult WriteTemporaryCopy(const std::wstring& source, const std::wstring& destination) {
  const std::wstring temporary = TemporaryFor(destination);
  UniqueHandle from = OpenForReading(source);
  if (!from.Valid()) return CopyFailure(source, destination, GetLastError());
  DWORD error = 0;
  {
    UniqueHandle to(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!to.Valid()) return CopyFailure(source, destination, GetLastError());
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

OsResult CommitTemporaryCopy(const std::wstring& destination) {
  const std::wstring temporary = TemporaryFor(destination);
  // A read-only target is refused, as Windows' replace does; Wine's would replace it.
  const DWORD attributes = GetFileAttributesW(destination.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    DeleteFileW(temporary.c_str());
    return CopyFailure(temporary, destination, ERROR_ACCESS_DENIED);
  }
  if (MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return std::nullopt;
  const DWORD error = RewriteInPlace(temporary, destination);
  DeleteFileW(temporary.c_str());
  if (error) return CopyFailure(temporary, destination, error);
  return std::nullopt;
}

OsResult CopyFileOver(const std::wstring& source, const std::wstring& destination) {
  if (auto failure = WriteTemporaryCopy(source, destination)) return failure;
  if (auto failure = CommitTemporaryCopy(destination)) {
    failure->details.front().second = FullPath(source);
    return failure;
  }
  return std::nullopt;
}

void DiscardTemporaryCopy(const std::wstring& destination) { DeleteFileW(TemporaryFor(destination).c_str()); }

OsResult DeleteFileNamed(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return std::nullopt;
  return OsFailure{L"delete a file", {{L"File", FullPath(path)}}, GetLastError()};
}

OsResult StartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                      const std::wstring& workingFolder, WORD showWindow) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showWindow;
  PROCESS_INFORMATION process{};
  std::wstring writable = commandLine;  // CreateProcessW may write into its command line
  if (!CreateProcessW(applicationPath.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.c_str(), &startup, &process)) {
    return OsFailure{L"start a program", {{L"Program", applicationPath}, {L"Command line", commandLine}},
                     GetLastError()};
  }
  // Nothing waits on the new process.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return std::nullopt;
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

namespace {

// Plain digits; std::to_wstring would pull the C library's whole formatter into the program.
std::wstring DecimalText(DWORD number) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + number % 10));
    number /= 10;
  } while (number);
  return digits;
}

}  // namespace

std::wstring DescribeFailure(const OsFailure& failure) {
  std::wstring text = L"Kestrane could not " + failure.operation + L".\n\n";
  for (const auto& [label, value] : failure.details) text += label + L": " + value + L"\n";
  text += L"\nWindows error " + DecimalText(failure.error) + L": " + WindowsErrorText(failure.error);
  return text;
}

}  // namespace kestrane
