#include "platform/win32_folder_check.h"

#include "platform/program_paths.h"
#include "platform/win32_util.h"

namespace kestrane {
namespace {

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
  for (int attempt = 1; attempt <= kFolderCheckNames; ++attempt) {
    const std::wstring path = JoinPath(folder, Widen(FolderCheckName(attempt)));
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
  if (MarkedReadOnly(GetFileAttributesW(path.c_str())))
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

}  // namespace kestrane
