#include "client/ini_text.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

namespace kestrane {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Empty when the code units do not pair up: such a file would not come back unchanged.
std::optional<std::string> Utf16LeToUtf8(std::string_view bytes) {
  if (bytes.size() % 2) return std::nullopt;
  std::string out;
  const auto unit = [&](size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  const size_t count = bytes.size() / 2;
  for (size_t i = 0; i < count; ++i) {
    std::uint32_t code = unit(i);
    if (code >= 0xDC00 && code <= 0xDFFF) return std::nullopt;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (i + 1 >= count || unit(i + 1) < 0xDC00 || unit(i + 1) > 0xDFFF) return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    }
    AppendUtf8(out, code);
  }
  return out;
}

// The text came from UTF-16 (or from our own ASCII keys), so it is well formed.
std::string Utf8ToUtf16Le(std::string_view text) {
  std::string out;
  const auto put = [&](std::uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  };
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (int k = 1; k < length && i + static_cast<size_t>(k) < text.size(); ++k)
      code = code << 6 | (static_cast<unsigned char>(text[i + static_cast<size_t>(k)]) & 0x3F);
    i += static_cast<size_t>(length);
    if (code >= 0x10000) {
      put(0xD800 + ((code - 0x10000) >> 10));
      put(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      put(code);
    }
  }
  return out;
}

struct Line {
  std::string content;
  std::string end;  // "\r\n", "\n", or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  while (!text.empty()) {
    const auto newline = text.find('\n');
    std::string_view content = text.substr(0, newline);
    std::string end = newline == std::string_view::npos ? "" : "\n";
    if (!end.empty() && content.ends_with('\r')) {
      content.remove_suffix(1);
      end = "\r\n";
    }
    lines.push_back({std::string(content), end});
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
  }
  return lines;
}

// A header's name, or empty when the line is not a section header. As the system reads
// it, the name runs to the line's last "]", and a line that opens with "[" but never
// closes it is no header at all.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (!trimmed.starts_with('[')) return std::nullopt;
  const auto close = trimmed.rfind(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

// A line without "=" is a key with an empty value, as the system reads it; its writer
// turns that very line into key=value.
std::optional<std::pair<std::string_view, std::string_view>> KeyAndValue(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) {
    if (Trim(line).empty()) return std::nullopt;
    return std::pair{Trim(line), std::string_view{}};
  }
  return std::pair{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

}  // namespace

DecodedSettings DecodeSettingsText(std::string_view bytes) {
  SettingsText settings;
  if (bytes.starts_with(kUtf16LeBom)) {
    auto text = Utf16LeToUtf8(bytes.substr(kUtf16LeBom.size()));
    if (!text) return {std::nullopt, "it is UTF-16 text that is not well formed"};
    settings = {TextForm::Utf16LeWithBom, std::move(*text)};
  } else if (bytes.starts_with(kUtf16BeBom)) {
    return {std::nullopt, "it is big-endian UTF-16 text"};
  } else if (bytes.starts_with(kUtf8Bom)) {
    settings = {TextForm::Utf8WithBom, std::string(bytes.substr(kUtf8Bom.size()))};
  } else {
    settings = {TextForm::Ansi, std::string(bytes)};
  }
  if (settings.text.find('\0') != std::string::npos)
    return {std::nullopt, "it holds zero bytes (UTF-16 text without a byte-order mark?)"};
  for (size_t at = settings.text.find('\r'); at != std::string::npos; at = settings.text.find('\r', at + 1))
    if (at + 1 >= settings.text.size() || settings.text[at + 1] != '\n')
      return {std::nullopt, "its line ends cannot be told apart (a carriage return alone)"};
  return {std::move(settings), {}};
}

std::string EncodeSettingsText(const SettingsText& settings) {
  switch (settings.form) {
    case TextForm::Utf8WithBom: return std::string(kUtf8Bom) + settings.text;
    case TextForm::Utf16LeWithBom: return std::string(kUtf16LeBom) + Utf8ToUtf16Le(settings.text);
    case TextForm::Ansi: break;
  }
  return settings.text;
}

std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
  std::vector<Line> lines = SplitLines(text);
  const std::string newEnd = text.find("\r\n") != std::string_view::npos ? "\r\n"
                             : text.find('\n') != std::string_view::npos ? "\n"
                                                                         : "\r\n";
  const std::string entry = std::string(key) + "=" + std::string(value);
  const std::string wantedSection = Lower(section), wantedKey = Lower(key);

  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t header = kNone, lastInSection = kNone;
  bool replaced = false;
  for (size_t i = 0; i < lines.size() && !replaced; ++i) {
    if (const auto name = SectionName(lines[i].content)) {
      if (header != kNone) break;
      if (Lower(*name) == wantedSection) header = lastInSection = i;
      continue;
    }
    if (header == kNone) continue;
    if (!Trim(lines[i].content).empty()) lastInSection = i;
    if (const auto kv = KeyAndValue(lines[i].content); kv && Lower(kv->first) == wantedKey) {
      lines[i].content = entry;
      replaced = true;
    }
  }

  size_t insertAt = lines.size();
  std::vector<Line> added;
  if (header == kNone) {
    added.push_back({"[" + std::string(section) + "]", newEnd});
    added.push_back({entry, newEnd});
  } else if (!replaced) {
    insertAt = lastInSection + 1;
    added.push_back({entry, newEnd});
  }
  if (!added.empty()) {
    // A last line without a line end gets one before anything follows it.
    if (insertAt > 0 && lines[insertAt - 1].end.empty()) lines[insertAt - 1].end = newEnd;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), added.begin(), added.end());
  }

  std::string out;
  for (const auto& line : lines) out += line.content + line.end;
  return out;
}

std::pair<std::string, std::string> IniSettingKey(std::string_view section, std::string_view key) {
  return {Lower(section), Lower(key)};
}

IniSettings ReadIniSettings(std::string_view text) {
  IniSettings settings;
  std::set<std::string> seenSections{""};
  std::string section, sectionAsWritten;
  bool counting = true;
  for (const auto& line : SplitLines(text)) {
    if (const auto name = SectionName(line.content)) {
      section = Lower(*name);
      sectionAsWritten = *name;
      counting = seenSections.insert(section).second;  // a repeated section is not read
      continue;
    }
    if (!counting) continue;
    if (const auto kv = KeyAndValue(line.content))
      settings.emplace(IniSettingKey(section, kv->first),
                       IniSetting{"[" + sectionAsWritten + "] " + std::string(kv->first), std::string(kv->second)});
  }
  return settings;
}

}  // namespace kestrane
