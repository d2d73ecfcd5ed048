// Our patch against the system's own initialization-file writer, on generated settings
// files: the settings that the system's reader sees must be the same.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "client/ini_text.h"
#include "client/mode_profiles.h"
#include "platform/win32_util.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {
namespace {

// ANSI settings files from the grammar of the fuzz corpus: headers (repeated, in other
// cases, with words after them, unclosed), keys with and without values and spaces, bare
// keys, comments, blank lines, keys before any section, CRLF or LF, with or without a last
// line end.
std::string GeneratedSettings(std::mt19937& random) {
  const auto pick = [&](std::initializer_list<const char*> choices) {
    return std::string(choices.begin()[std::uniform_int_distribution<size_t>(0, choices.size() - 1)(random)]);
  };
  const std::string end = random() % 2 ? "\r\n" : "\n";
  std::string text;
  const int lines = 2 + static_cast<int>(random() % 18);
  for (int i = 0; i < lines; ++i) {
    const std::string key = pick({"IsL2NetLogin", "isl2console", "IsUseCommand", "L2THREADFILTER", "ServerAddr",
                                  "Width", "Height"});
    const std::string value = pick({"True", "False", "0", "1", "1280", "login.example.net", ""});
    switch (random() % 9) {
      case 0: text += "[" + pick({"URL", "url", "Video", "Sound", "Chat"}) + "]"; break;
      case 1: text += pick({"[URL] ; main", "[Video]  ", "  [Sound]", "[URL", "[ URL ]", "[URL]x]", "[URL]] ;"}); break;
      case 2: text += key; break;
      case 3: text += pick({"; note", "# note", ";IsL2Console=True"}); break;
      case 4: break;
      case 5: text += "  " + key + " = " + value + " "; break;
      default: text += key + "=" + value; break;
    }
    if (i + 1 < lines || random() % 3) text += end;
  }
  return text;
}

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// Every setting as the system's reader sees it: each section it names, each key it lists
// there, and the value it reads for that key. Names compare without case, as the reader
// looks them up.
std::map<std::wstring, std::map<std::wstring, std::wstring>> SystemView(const std::wstring& file) {
  std::map<std::wstring, std::map<std::wstring, std::wstring>> view;
  std::vector<wchar_t> names(65536), keys(65536), value(4096);
  GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), file.c_str());
  for (const wchar_t* name = names.data(); *name; name += wcslen(name) + 1) {
    auto& section = view[Lower(name)];
    GetPrivateProfileStringW(name, nullptr, L"", keys.data(), static_cast<DWORD>(keys.size()), file.c_str());
    for (const wchar_t* key = keys.data(); *key; key += wcslen(key) + 1) {
      GetPrivateProfileStringW(name, key, L"<none>", value.data(), static_cast<DWORD>(value.size()), file.c_str());
      section.emplace(Lower(key), value.data());
    }
  }
  return view;
}

// The system's writer drops blank lines, rewrites "key = value" as "key=value" and keeps a
// replaced key's spelling ("L2THREADFILTER=1" where the patch writes "L2ThreadFilter=1");
// none of that changes what its reader sees, which is what is compared. (Byte-order marks, which its
// writer skips, do not arise: the files are ANSI.)
TEST(WriterParity, ThePatchYieldsWhatTheSystemsWriterYieldsOnGeneratedFiles) {
  ScratchFolder folder;
  std::mt19937 random(20261208);
  int compared = 0;
  for (int n = 0; n < 300; ++n) {
    const std::string text = GeneratedSettings(random);
    const ModeProfile& profile = n % 2 ? DevelopProfile : GameProfile;
    // Names of their own: the system's reader keeps files it has read, by name and time.
    const std::wstring system = folder.File(L"system-" + std::to_wstring(n) + L".ini");
    const std::wstring ours = folder.File(L"ours-" + std::to_wstring(n) + L".ini");
    folder.Write(system.substr(folder.Path().size() + 1), text);
    for (const auto& setting : profile.settings)
      ASSERT_TRUE(WritePrivateProfileStringW(L"URL", Widen(setting.key).c_str(), Widen(setting.value).c_str(),
                                             system.c_str()));
    std::string patched = text;
    for (const auto& setting : profile.settings)
      patched = WithIniValue(patched, kSettingsSection, setting.key, setting.value);
    folder.Write(ours.substr(folder.Path().size() + 1), patched);
    const auto expected = SystemView(system);
    const auto actual = SystemView(ours);
    EXPECT_EQ(actual, expected) << "file " << n << ":\n" << text << "\n--- ours:\n" << patched << "\n--- system's:\n"
                                << folder.Read(system.substr(folder.Path().size() + 1));
    ++compared;
  }
  EXPECT_EQ(compared, 300);
}

}  // namespace
}  // namespace kestrane::testing
