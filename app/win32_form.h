#pragma once

#include <windows.h>

#include <array>

#include "platform/win32_platform_ops.h"

namespace kestrane {

// A fixed border, the system menu (Alt+Space) and the close button alone: the window is fixed
// in size and every action ends the program, so minimise and maximise would only crowd the
// title. Dialog-modal frame: no icon in the title bar either (it stays on the taskbar and in
// Alt+Tab), so that the whole name fits there at 105 pixels of client width on Windows 10.
inline constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
inline constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME;

// The Win32 side of Form1: creates the window and its buttons, lays them out from their
// twips at the window's DPI, and turns window messages into the named handlers.
class Win32Form {
 public:
  explicit Win32Form(Win32PlatformOps& platform) : platform_(platform) {}
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;
  ~Win32Form();

  // Creates the window hidden, so that start-up can still end without showing anything.
  bool Create(HINSTANCE instance);
  void Show(int showCommand);
  HWND Handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  void OnCommand(int id, int notification);
  void OnTimer(UINT_PTR id);
  void OnClose();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnGetMinMaxInfo(MINMAXINFO& info) const;
  SIZE WindowSizeForDpi(UINT dpi) const;
  void ApplyDpi(UINT dpi);

  Win32PlatformOps& platform_;
  HWND window_ = nullptr;
  std::array<HWND, 3> buttons_{};
  HWND lastFocus_ = nullptr;
  HFONT font_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UINT taskbarButtonCreated_ = 0;
};

// Runs the idle window's message loop until the window is closed.
int RunMessageLoop(HWND form);

}  // namespace kestrane
