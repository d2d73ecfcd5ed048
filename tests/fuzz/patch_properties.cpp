#include "tests/fuzz/patch_properties.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "client/ini_text.h"

namespace kestrane::fuzzing {
namespace {

// An oracle of its own for lines and sections, independent of the code under test.
struct Line {
  std::string content, end;
  bool touchable = false;  // a line of one of the four keys in a section named "URL"
  bool header = false;
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::vector<Line> Lines(std::string_view text, const ModeProfile& profile) {
  std::vector<Line> lines;
  bool inUrl = false;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    Line line;
    line.content = std::string(text.substr(0, newline));
    if (newline != std::string_view::npos) {
      line.end = "\n";
      if (!line.content.empty() && line.content.back() == '\r') {
        line.content.pop_back();
        line.end = "\r\n";
      }
    }
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    const std::string_view trimmed = Trim(line.content);
    if (trimmed.starts_with('[') && trimmed.find(']') != std::string_view::npos) {
      line.header = true;
      inUrl = SameNoCase(Trim(trimmed.substr(1, trimmed.rfind(']') - 1)), "URL");
    } else if (inUrl) {
      const std::string_view key = Trim(trimmed.substr(0, trimmed.find('=')));
      for (const auto& setting : profile.settings) line.touchable |= SameNoCase(key, setting.key);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

bool HasUrlSection(const std::vector<Line>& lines) {
  for (const auto& line : lines) {
    const std::string_view trimmed = Trim(line.content);
    if (line.header && SameNoCase(Trim(trimmed.substr(1, trimmed.rfind(']') - 1)), "URL")) return true;
  }
  return false;
}

}  // namespace

void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

std::string PatchedText(std::string_view text, const ModeProfile& profile) {
  std::string out(text);
  for (const auto& setting : profile.settings) out = WithIniValue(out, kSettingsSection, setting.key, setting.value);
  return out;
}

void CheckPatch(std::string_view before, std::string_view after, const ModeProfile& profile) {
  // The reader's view: the four with their values, every other setting as before.
  IniSettings expected = ReadIniSettings(before);
  for (const auto& setting : profile.settings)
    expected[IniSettingKey(kSettingsSection, setting.key)].value = std::string(setting.value);
  const IniSettings actual = ReadIniSettings(after);
  Require(actual.size() == expected.size(), "no setting appears or goes");
  for (const auto& [key, setting] : expected) {
    const auto found = actual.find(key);
    Require(found != actual.end() && found->second.value == setting.value, "every setting reads as expected");
  }
  // Every line the patch did not touch keeps its bytes, in order.
  const auto old = Lines(before, profile), now = Lines(after, profile);
  const bool sectionAdded = !HasUrlSection(old);
  std::vector<const Line*> kept, still;
  for (const auto& line : old)
    if (!line.touchable) kept.push_back(&line);
  bool headerSkipped = false;
  for (const auto& line : now) {
    if (line.touchable) continue;
    if (sectionAdded && !headerSkipped && line.header && Trim(line.content) == "[URL]" && still.size() == kept.size()) {
      headerSkipped = true;
      continue;
    }
    still.push_back(&line);
  }
  Require(kept.size() == still.size(), "the untouched lines are all still there");
  for (size_t i = 0; i < kept.size(); ++i) {
    Require(kept[i]->content == still[i]->content, "an untouched line keeps its text");
    const bool lastOfOld = kept[i] == &old.back();
    Require(kept[i]->end == still[i]->end || (lastOfOld && kept[i]->end.empty()), "an untouched line keeps its end");
  }
  // Line ends of a style the text already had, or CRLF in a text without any.
  bool hadCrLf = false, hadLf = false;
  for (const auto& line : old) (line.end == "\r\n" ? hadCrLf : hadLf) |= !line.end.empty();
  for (const auto& line : now)
    Require(line.end.empty() || (line.end == "\r\n" ? hadCrLf || !hadLf : hadLf), "no line end of a new style");
  Require(PatchedText(after, profile) == after, "a second patch with the same profile changes nothing");
}

}  // namespace kestrane::fuzzing
