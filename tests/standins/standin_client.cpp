// Stand-in for the game client: decodes "l2.ini" beside it when it starts (its text in
// UTF-16LE, UTF-8 with a byte-order mark, or plain), logs section
// "URL" and every other line it found, and keeps what it read in "client-seen.ini".
// A control file "l2.hold" makes it hold "l2.ini" open without sharing for that many seconds.
#include <windows.h>

#include <sstream>
#include <string>

#include "tests/standins/standin_common.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  standin::Log("l2", "started show=" + std::to_string(show) + " cwd=\"" + standin::Utf8(standin::WorkingFolder()) + "\"");

  const std::wstring settings = standin::ExeFolder() + L"\\l2.ini";
  const int hold = standin::ControlSeconds(L"l2.hold");
  HANDLE held = INVALID_HANDLE_VALUE;
  if (hold > 0) {
    held = CreateFileW(settings.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    standin::Log("l2", held == INVALID_HANDLE_VALUE ? "could not hold l2.ini" : "holding l2.ini for " + std::to_string(hold) + " s");
  }
  std::string encoded;
  if (held != INVALID_HANDLE_VALUE) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(held, buffer, sizeof(buffer), &got, nullptr) && got > 0) encoded.append(buffer, got);
  } else if (const auto bytes = standin::ReadWholeFile(settings)) {
    encoded = *bytes;
  }
  auto plain = standin::Decode(encoded);
  if (plain) plain = standin::AsPlainText(*plain);
  if (!plain) {
    standin::Log("l2", "l2.ini is not an encoded settings file");
  } else {
    standin::WriteWholeFile(standin::ExeFolder() + L"\\client-seen.ini", *plain);
    std::istringstream lines(*plain);
    std::string section;
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.starts_with('[')) section = line;
      standin::Log("l2", (section == "[URL]" ? "URL: " : "other: ") + line);
    }
  }
  if (held != INVALID_HANDLE_VALUE) {
    Sleep(static_cast<DWORD>(hold) * 1000);
    CloseHandle(held);
    standin::Log("l2", "let go of l2.ini");
  }
  standin::Log("l2", "exiting");
  return 0;
}
