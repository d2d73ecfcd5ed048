#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace kestrane {

// A kernel handle that closes itself. Invalid is nullptr or INVALID_HANDLE_VALUE, which
// CreateFileW and CreateMutexW use respectively for their failures.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = nullptr) {
    if (Valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// A steady clock with the performance counter's precision, in microseconds.
std::int64_t PreciseMicroseconds();
// Windows' own text for an error number, without the trailing line break.
std::wstring WindowsErrorText(DWORD error);

// The full path of the program's executable.
std::wstring ModulePath();
// The system folder (system32); empty where Windows does not tell it.
std::wstring SystemFolder();

// Opened sharing everything: a file looked at is never kept from another program.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A function that older Windows versions or the import libraries lack, looked up at run time
// in a module the process has already loaded; nullptr where either is missing. The module is
// never loaded here: loading it by name could pick up a copy planted beside the program.
template <typename Function>
Function LookUpFunction(const wchar_t* module, const char* name) {
  const HMODULE handle = GetModuleHandleW(module);
  return handle ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

}  // namespace kestrane
