#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Looks at the launcher's window from another process, as a user or a screen reader would.
namespace probe {

struct Control {
  HWND handle = nullptr;
  std::wstring text;
  RECT rect{};  // in the parent's client coordinates
  bool enabled = false;
};

// The launcher's visible main window, or nullptr. With processId 0, any process's.
HWND FindFormWindow(DWORD processId);
// Waits up to timeoutMs for it; nullptr if it does not appear.
HWND WaitForFormWindow(DWORD processId, int timeoutMs);
SIZE ClientSize(HWND window);
std::wstring Text(HWND window);
// The tab stops from the first, following the dialog tab order.
std::vector<Control> ControlsInTabOrder(HWND parent);
HWND FindButton(HWND parent, const std::wstring& caption);
// A click as the button itself would take it, posted so that the caller never blocks.
void Click(HWND button);
// The error report's box of the given process, or nullptr.
HWND FindMessageBox(DWORD processId);
std::wstring MessageBoxText(HWND box);
void DismissMessageBox(HWND box);
// Presses a box's button: IDOK, IDRETRY, IDCANCEL.
void AnswerMessageBox(HWND box, int button);

}  // namespace probe
