#pragma once

#include <windows.h>

namespace kestrane::testing {

// A plain top-level window of the test's own, shown (another program's, as the program under
// test sees it); with an owner, a popup it owns, as a box is.
class TestWindow {
 public:
  explicit TestWindow(HWND owner = nullptr) {
    handle_ = CreateWindowExW(0, L"STATIC", L"another program", owner ? WS_POPUP | WS_CAPTION : WS_OVERLAPPEDWINDOW,
                              40, 40, 200, 120, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(handle_, SW_SHOW);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  ~TestWindow() { DestroyWindow(handle_); }
  HWND Handle() const { return handle_; }

 private:
  HWND handle_ = nullptr;
};

// Handles this thread's messages until window has the foreground, up to timeoutMs.
inline bool WaitForForeground(HWND window, int timeoutMs) {
  for (int waited = 0; GetForegroundWindow() != window && waited < timeoutMs; waited += 10) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  return GetForegroundWindow() == window;
}

// Foreground changes arrive as messages; they are handled until window has it.
// Asked again while it waits: a box coming up meanwhile may take the foreground after the
// first request, as a busy machine lets it.
inline bool TakeForeground(HWND window) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    SetForegroundWindow(window);
    if (WaitForForeground(window, 500)) return true;
  }
  return false;
}

}  // namespace kestrane::testing
