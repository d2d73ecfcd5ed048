// Stand-in for the settings tool: "-d IN OUT" decodes, "-eNNN IN OUT" encodes with
// variant NNN. Every invocation is logged with its arguments and working folder.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/standins/standin_common.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::string args;
  for (int i = 1; i < __argc; ++i) args += (i > 1 ? " " : "") + standin::Utf8(__wargv[i]);
  standin::Log("l2encdec", "args=\"" + args + "\" cwd=\"" + standin::Utf8(standin::WorkingFolder()) + "\"");
  if (const int delay = standin::ControlSeconds(L"l2encdec.delay")) Sleep(static_cast<DWORD>(delay) * 1000);
  if (__argc != 4) {
    standin::Log("l2encdec", "usage: -d IN OUT | -eNNN IN OUT");
    return 2;
  }
  const std::wstring mode = __wargv[1];
  const auto input = standin::ReadWholeFile(__wargv[2]);
  if (!input) {
    standin::Log("l2encdec", "cannot read " + standin::Utf8(__wargv[2]));
    return 3;
  }
  std::string output;
  if (mode == L"-d") {
    const auto plain = standin::Decode(*input);
    if (!plain) {
      standin::Log("l2encdec", "not an encoded file: " + standin::Utf8(__wargv[2]));
      return 4;
    }
    output = *plain;
  } else if (mode.starts_with(L"-e") && mode.size() > 2) {
    output = standin::Encode(*input, std::atoi(standin::Utf8(mode.substr(2)).c_str()));
  } else {
    standin::Log("l2encdec", "unknown mode " + standin::Utf8(mode));
    return 2;
  }
  if (!standin::WriteWholeFile(__wargv[3], output)) {
    standin::Log("l2encdec", "cannot write " + standin::Utf8(__wargv[3]));
    return 5;
  }
  standin::Log("l2encdec", "done " + standin::Utf8(mode) + " " + std::to_string(output.size()) + " bytes");
  return 0;
}
