// Command-line probe for scripts: "info" prints the launcher's window, "click CAPTION"
// clicks one of its buttons and prints the time of the click (Unix milliseconds),
// "wait SECONDS" waits for the window to show and prints it.
#include <cstdio>
#include <string>

#include "tests/e2e/window_probe.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: kestrane_probe info | wait SECONDS | click CAPTION\n");
    return 2;
  }
  const std::wstring command = argv[1];
  const int timeoutMs = (command == L"wait" && argc > 2) ? _wtoi(argv[2]) * 1000 : 10000;
  const HWND form = probe::WaitForFormWindow(0, timeoutMs);
  if (!form) {
    std::fwprintf(stderr, L"kestrane_probe: no Kestrane window\n");
    return 1;
  }
  if (command == L"click" && argc > 2) {
    const HWND button = probe::FindButton(form, argv[2]);
    if (!button) return 1;
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const auto ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    probe::Click(button);
    std::wprintf(L"clicked %llu\n", ticks / 10000 - 11644473600000ull);
    return 0;
  }
  RECT frame{};
  GetWindowRect(form, &frame);
  const SIZE client = probe::ClientSize(form);
  std::wprintf(L"window \"%ls\" frame %ldx%ld+%ld+%ld client %ldx%ld\n", probe::Text(form).c_str(),
               frame.right - frame.left, frame.bottom - frame.top, frame.left, frame.top, client.cx, client.cy);
  for (const auto& control : probe::ControlsInTabOrder(form))
    std::wprintf(L"button \"%ls\" %ld,%ld %ldx%ld %ls\n", control.text.c_str(), control.rect.left, control.rect.top,
                 control.rect.right - control.rect.left, control.rect.bottom - control.rect.top,
                 control.enabled ? L"enabled" : L"disabled");
  return 0;
}
