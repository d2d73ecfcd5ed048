#include "tests/windows/scratch_folder.h"

#include <atomic>
#include <stdexcept>

namespace kestrane::testing {

ScratchFolder::ScratchFolder(const std::wstring& leaf) {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  // Process numbers come round again under Wine, and a folder that a failed run could not
  // remove may still be there: take the next free name.
  // A leaf of several folders (a deep path) has its upper ones made first.
  for (size_t at = leaf.find(L'\\'); at != std::wstring::npos; at = leaf.find(L'\\', at + 1)) {
    CreateDirectoryW((std::wstring(temp) + leaf.substr(0, at)).c_str(), nullptr);
    upper_.insert(upper_.begin(), std::wstring(temp) + leaf.substr(0, at));
  }
  for (int attempt = 0;; ++attempt) {
    path_ = std::wstring(temp) + leaf + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    if (CreateDirectoryW(path_.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000)
      throw std::runtime_error("cannot create a scratch folder");
  }
}

ScratchFolder::~ScratchFolder() {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      SetFileAttributesW(File(name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(File(name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path_.c_str());
  for (const auto& folder : upper_) RemoveDirectoryW(folder.c_str());  // where no other test uses it
}

void ScratchFolder::Write(const std::wstring& name, const std::string& bytes) const {
  UniqueHandle file(CreateFileW(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file.Valid()) throw std::runtime_error("cannot write a scratch file");
  DWORD put = 0;
  WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
}

std::string ScratchFolder::Read(const std::wstring& name) const {
  UniqueHandle file(CreateFileW(File(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.Valid()) return "<missing>";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

}  // namespace kestrane::testing
