#include "tests/e2e/window_probe.h"

namespace probe {
namespace {

struct Search {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->processId && owner != search->processId) return TRUE;
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (std::wstring(className) != search->className || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindTopWindow(DWORD processId, const wchar_t* className) {
  Search search{processId, className, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HWND FindFormWindow(DWORD processId) { return FindTopWindow(processId, L"Kestrane.Form1"); }

HWND WaitForFormWindow(DWORD processId, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 50) {
    if (const HWND window = FindFormWindow(processId)) return window;
    Sleep(50);
  }
  return nullptr;
}

SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring Text(HWND window) {
  wchar_t buffer[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buffer;
}

std::vector<Control> ControlsInTabOrder(HWND parent) {
  std::vector<Control> controls;
  const HWND first = GetNextDlgTabItem(parent, nullptr, FALSE);
  for (HWND control = first; control;) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    controls.push_back({control, Text(control), rect, IsWindowEnabled(control) != FALSE});
    control = GetNextDlgTabItem(parent, control, FALSE);
    if (control == first || controls.size() > 16) break;
  }
  return controls;
}

HWND FindButton(HWND parent, const std::wstring& caption) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (Text(child) == caption) return child;
  return nullptr;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

HWND FindMessageBox(DWORD processId) { return FindTopWindow(processId, L"#32770"); }

std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (std::wstring(className) == L"Static") text += Text(child);
  }
  return text;
}

void DismissMessageBox(HWND box) { AnswerMessageBox(box, IDOK); }

void AnswerMessageBox(HWND box, int button) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

}  // namespace probe
