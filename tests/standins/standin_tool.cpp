// Stand-in for the settings tool, a console program as such tools are: "-d IN OUT"
// decodes, "-eNNN IN OUT" encodes with variant NNN. Every invocation is logged with its
// arguments and working folder. Control files beside it change how it behaves:
//   l2encdec.delay, l2encdec-decode.delay, l2encdec-encode.delay  seconds to wait first
//   l2encdec-decode.fail   the decode writes nothing and exits with 1
//   l2encdec-encode.fail   the encode writes half its output and exits with 1
//   l2encdec.hang          never finishes (sleeps for ten minutes)
//   l2encdec.form          "utf-16le" or "utf-8-bom": the decode writes its text so
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/standins/standin_common.h"

namespace {

bool Present(const wchar_t* name) { return standin::ReadWholeFile(standin::ExeFolder() + L"\\" + name).has_value(); }

std::string InForm(const std::string& text) {
  const auto form = standin::ReadWholeFile(standin::ExeFolder() + L"\\l2encdec.form").value_or("");
  if (form.starts_with("utf-8-bom")) return "\xEF\xBB\xBF" + text;
  if (form.starts_with("utf-16le")) return standin::ToUtf16Le(text);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string args;
  for (int i = 1; i < argc; ++i) args += (i > 1 ? " " : "") + standin::Utf8(argv[i]);
  standin::Log("l2encdec", "args=\"" + args + "\" cwd=\"" + standin::Utf8(standin::WorkingFolder()) + "\"");
  if (argc != 4) {
    standin::Log("l2encdec", "usage: -d IN OUT | -eNNN IN OUT");
    return 2;
  }
  const std::wstring mode = argv[1];
  const bool decode = mode == L"-d";
  int delay = standin::ControlSeconds(L"l2encdec.delay");
  delay += standin::ControlSeconds(decode ? L"l2encdec-decode.delay" : L"l2encdec-encode.delay");
  if (delay) Sleep(static_cast<DWORD>(delay) * 1000);
  if (Present(L"l2encdec.hang")) {
    standin::Log("l2encdec", "hanging");
    Sleep(600 * 1000);
  }
  const auto input = standin::ReadWholeFile(argv[2]);
  if (!input) {
    standin::Log("l2encdec", "cannot read " + standin::Utf8(argv[2]));
    return 3;
  }
  std::string output;
  if (decode) {
    if (Present(L"l2encdec-decode.fail")) {
      standin::Log("l2encdec", "failing the decode");
      return 1;
    }
    const auto plain = standin::Decode(*input);
    if (!plain) {
      standin::Log("l2encdec", "not an encoded file: " + standin::Utf8(argv[2]));
      return 4;
    }
    output = InForm(*plain);
  } else if (mode.starts_with(L"-e") && mode.size() > 2) {
    output = standin::Encode(*input, std::atoi(standin::Utf8(mode.substr(2)).c_str()));
    if (Present(L"l2encdec-encode.fail")) {
      standin::WriteWholeFile(argv[3], output.substr(0, output.size() / 2));
      standin::Log("l2encdec", "failing the encode half-way");
      return 1;
    }
  } else {
    standin::Log("l2encdec", "unknown mode " + standin::Utf8(mode));
    return 2;
  }
  if (!standin::WriteWholeFile(argv[3], output)) {
    standin::Log("l2encdec", "cannot write " + standin::Utf8(argv[3]));
    return 5;
  }
  standin::Log("l2encdec", "done " + standin::Utf8(mode) + " " + std::to_string(output.size()) + " bytes");
  return 0;
}
