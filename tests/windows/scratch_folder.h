#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32_util.h"

namespace kestrane::testing {

inline bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A fresh folder under the temporary folder, removed with its files afterwards. A leaf with
// separators names a folder several deep.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& leaf = L"kestrane-test");
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
  void Write(const std::wstring& name, const std::string& bytes) const;
  std::string Read(const std::wstring& name) const;

 private:
  std::wstring path_;
  std::vector<std::wstring> upper_;  // deepest first
};

}  // namespace kestrane::testing
