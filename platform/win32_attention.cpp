#include "platform/win32_attention.h"

namespace kestrane {

bool FormInFront(HWND form) {
  const HWND front = GetForegroundWindow();
  return front && (front == form || GetAncestor(front, GA_ROOTOWNER) == form);
}

bool AskForAttentionUnlessInFront(HWND form) {
  if (!form || FormInFront(form)) return false;
  FLASHWINFO flash{sizeof(flash), form, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
  FlashWindowEx(&flash);
  return true;
}

void StopAskingForAttention(HWND form) {
  FLASHWINFO flash{sizeof(flash), form, FLASHW_STOP, 0, 0};
  FlashWindowEx(&flash);
}

namespace {

// A message box is a dialog of the system's class.
BOOL CALLBACK TakeVisibleDialog(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  if (!IsWindowVisible(window) || !GetClassNameW(window, className, 16) || lstrcmpW(className, L"#32770") != 0)
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

bool BringBoxOfEarlierCopyForward(const wchar_t* windowClass) {
  for (HWND form = FindWindowExW(nullptr, nullptr, windowClass, nullptr); form;
       form = FindWindowExW(nullptr, form, windowClass, nullptr)) {
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(form, &process);
    if (process == GetCurrentProcessId()) continue;  // this copy's own window, not yet shown
    HWND box = nullptr;
    EnumThreadWindows(thread, TakeVisibleDialog, reinterpret_cast<LPARAM>(&box));
    if (!box) continue;
    if (IsIconic(form)) ShowWindow(form, SW_RESTORE);
    // A program the player has just started may hand the foreground on.
    SetForegroundWindow(box);
    return true;
  }
  return false;
}

bool AllowMessageFromShell(HWND window, UINT message) {
  return ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr) != FALSE;
}

}  // namespace kestrane
