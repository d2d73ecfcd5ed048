#include "app/texts.h"

#include <array>
#include <cctype>

#include "app/inflate.h"

namespace kestrane {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// A Windows language name's parts: "zh-Hant-TW" is zh, Hant, TW; "pt-BR" is pt, BR.
struct NameParts {
  std::string language, script, region;
};

NameParts PartsOf(std::string_view name) {
  NameParts parts;
  std::vector<std::string> pieces;
  for (size_t at = 0; at <= name.size();) {
    const size_t end = std::min(name.find_first_of("-_", at), name.size());
    pieces.emplace_back(name.substr(at, end - at));
    at = end + 1;
  }
  parts.language = Lower(pieces.front());
  for (size_t i = 1; i < pieces.size(); ++i)
    (pieces[i].size() == 4 ? parts.script : parts.region) = Lower(pieces[i]);
  return parts;
}

// Windows names a default UI language by number: its primary language, and for Chinese the
// country, which tells the script.
std::string NameOfLanguageId(std::uint16_t id) {
  static constexpr std::array<std::pair<std::uint16_t, const char*>, 15> kPrimary{{
      {0x09, "en"}, {0x19, "ru"}, {0x22, "uk"}, {0x15, "pl"}, {0x16, "pt"}, {0x0a, "es"}, {0x1f, "tr"}, {0x08, "el"},
      {0x12, "ko"}, {0x11, "ja"}, {0x2a, "vi"}, {0x1e, "th"}, {0x07, "de"}, {0x0c, "fr"}, {0x10, "it"}}};
  if (id == 0 || id == 0x1400) return {};  // a supplemental locale's default says nothing
  if ((id & 0x3ff) == 0x04) {
    switch (id) {
      case 0x0404: return "zh-TW";
      case 0x0c04: return "zh-HK";
      case 0x1404: return "zh-MO";
      case 0x1004: return "zh-SG";
      default: return "zh-CN";
    }
  }
  if (id == 0x0416) return "pt-BR";
  for (const auto& [primary, name] : kPrimary)
    if ((id & 0x3ff) == primary) return name;
  return "x-" + std::to_string(id);
}

// The code of Kestrane's language for one Windows name; empty where none fits.
std::string Match(std::string_view name) {
  const NameParts wanted = PartsOf(name);
  if (wanted.language.empty()) return {};
  if (wanted.language == "en") return "en";
  for (int i = 0; i < generated::kLanguageCount; ++i)
    for (const auto& served : Words(generated::kLanguages[i].windows))
      if (Lower(served) == Lower(name)) return generated::kLanguages[i].code;
  if (wanted.language == "zh") {
    const bool traditional = wanted.script == "hant" ||
                             (wanted.script.empty() && (wanted.region == "tw" || wanted.region == "hk" || wanted.region == "mo"));
    return traditional ? "zh-Hant" : "zh-Hans";
  }
  for (int i = 0; i < generated::kLanguageCount; ++i)
    for (const auto& served : Words(generated::kLanguages[i].windows))
      if (PartsOf(served).language == wanted.language) return generated::kLanguages[i].code;
  return {};
}

}  // namespace

Texts::Texts(std::string_view code) {
  for (int i = 0; i < generated::kLanguageCount; ++i) {
    const auto& language = generated::kLanguages[i];
    if (code != language.code) continue;
    const std::string_view packed(reinterpret_cast<const char*>(generated::kPacked) + language.offset, language.packed);
    auto decoded = Inflate(packed, language.size);
    if (!decoded) return;  // English, rather than a box without words
    decoded_ = std::move(*decoded);
    for (size_t at = 0; at <= decoded_.size();) {
      const size_t end = std::min(decoded_.find('\0', at), decoded_.size());
      texts_.emplace_back(at, end - at);
      at = end + 1;
    }
    if (texts_.size() != static_cast<size_t>(kTextCount)) {
      texts_.clear();
      return;
    }
    code_ = language.code;
    countsCharacters_ = language.countsCharacters;
  }
}

std::string_view Texts::operator[](TextId id) const {
  const auto index = static_cast<size_t>(id);
  if (texts_.empty()) return generated::kEnglish[index];
  return std::string_view(decoded_).substr(texts_[index].first, texts_[index].second);
}

// At namespace scope: a local static would need a guard, which brings
// the runtime's thread-safe start-up of statics and its exception machinery (about 8 KiB).
const Texts kEnglishTexts;

const Texts& EnglishTexts() { return kEnglishTexts; }

std::vector<std::string> LanguageCodes() {
  std::vector<std::string> codes;
  for (int i = 0; i < generated::kLanguageCount; ++i) codes.emplace_back(generated::kLanguages[i].code);
  return codes;
}

std::string ChooseLanguage(std::span<const std::string> preferred, std::uint16_t defaultUiLanguage) {
  for (const auto& name : preferred)
    if (std::string code = Match(name); !code.empty()) return code;
  return Match(NameOfLanguageId(defaultUiLanguage));
}

}  // namespace kestrane
