// Stand-in for the game client, a windowed program as such clients are: decodes "l2.ini"
// beside it when it starts (its text in UTF-16LE, UTF-8 with a byte-order mark, or plain),
// logs section "URL" and every other line it found, keeps what it read in
// "client-seen.ini", then shows its window and handles its messages for a moment.
// Control files beside it:
//   l2.late  seconds it waits before it reads "l2.ini" (a cold disk, a scanner), before
//            it makes its window, so that it has not finished starting meanwhile
//   l2.hold  seconds it holds "l2.ini" open without sharing, its window running
//   l2.map   seconds it keeps "l2.ini" mapped into memory, sharing reading and writing, as a
//            client that reads its settings through a view; its window running
#include <windows.h>

#include <sstream>
#include <string>

#include "tests/standins/standin_common.h"

namespace {

std::string ReadSettings(HANDLE held, const std::wstring& settings) {
  if (held == INVALID_HANDLE_VALUE) return standin::ReadWholeFile(settings).value_or("");
  std::string encoded;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(held, buffer, sizeof(buffer), &got, nullptr) && got > 0) encoded.append(buffer, got);
  return encoded;
}

void LogWhatItSaw(const std::string& encoded) {
  auto plain = standin::Decode(encoded);
  if (plain) plain = standin::AsPlainText(*plain);
  if (!plain) {
    standin::Log("l2", "l2.ini is not an encoded settings file");
    return;
  }
  standin::WriteWholeFile(standin::ExeFolder() + L"\\client-seen.ini", *plain);
  std::istringstream lines(*plain);
  std::string section;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with('[')) section = line;
    standin::Log("l2", (section == "[URL]" ? "URL: " : "other: ") + line);
  }
}

// Shows a window and handles its messages until the time is up: from its first wait for
// input on, the program has finished starting.
void RunWindowFor(int seconds, int show) {
  const HWND window = CreateWindowExW(0, L"STATIC", L"l2 stand-in", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                      200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(window, show < 0 ? SW_SHOWMINNOACTIVE : show);
  SetTimer(window, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  standin::Log("l2", "window shown");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == window) break;
    DispatchMessageW(&message);
  }
  DestroyWindow(window);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  standin::Log("l2", "started show=" + std::to_string(show) + " cwd=\"" + standin::Utf8(standin::WorkingFolder()) + "\"");

  if (const int late = standin::ControlSeconds(L"l2.late"); late > 0) {
    standin::Log("l2", "reading l2.ini in " + std::to_string(late) + " s");
    Sleep(static_cast<DWORD>(late) * 1000);
  }
  const std::wstring settings = standin::ExeFolder() + L"\\l2.ini";
  const int hold = standin::ControlSeconds(L"l2.hold");
  HANDLE held = INVALID_HANDLE_VALUE;
  if (hold > 0) {
    held = CreateFileW(settings.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    standin::Log("l2", held == INVALID_HANDLE_VALUE ? "could not hold l2.ini" : "holding l2.ini for " + std::to_string(hold) + " s");
  }
  const int map = standin::ControlSeconds(L"l2.map");
  HANDLE mapping = nullptr;
  const void* view = nullptr;
  if (map > 0) {
    const HANDLE file = CreateFileW(settings.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);  // the view keeps the file
    standin::Log("l2", view ? "mapping l2.ini for " + std::to_string(map) + " s" : "could not map l2.ini");
  }
  standin::Log("l2", "reading l2.ini");
  LogWhatItSaw(ReadSettings(held, settings));
  RunWindowFor(hold > 0 ? hold : map > 0 ? map : 1, show);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  if (held != INVALID_HANDLE_VALUE || view) standin::Log("l2", "let go of l2.ini");
  standin::Log("l2", "exiting");
  return 0;
}
