#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kestrane {

// The text forms a decoded settings file comes in.
enum class TextForm { Ansi, Utf8WithBom, Utf16LeWithBom };

// A settings file's text: UTF-8 for the Unicode forms, the bytes as they are for ANSI.
struct SettingsText {
  TextForm form = TextForm::Ansi;
  std::string text;
};

struct DecodedSettings {
  std::optional<SettingsText> settings;  // empty when the file cannot be patched safely
  std::string problem;                   // why, in words for the player
};

DecodedSettings DecodeSettingsText(std::string_view bytes);
std::string EncodeSettingsText(const SettingsText& settings);

// Sets key=value in the first section of that name, as the system's writer does: the
// key's first line is replaced, or the key added after the section's last line, or the
// section added at the end. Every other line keeps its bytes and its line end.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

// A setting with its names as the file writes them, "[Video] Width".
struct IniSetting {
  std::string name;
  std::string value;
};
// Every setting as a reader of the file sees it: the first section of a name and the
// first key of a name count; names compare without case.
using IniSettings = std::map<std::pair<std::string, std::string>, IniSetting>;
IniSettings ReadIniSettings(std::string_view text);
// The key under which ReadIniSettings files a section and key.
std::pair<std::string, std::string> IniSettingKey(std::string_view section, std::string_view key);

}  // namespace kestrane
