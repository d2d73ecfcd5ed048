#include "app/texts.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "app/inflate.h"

namespace kestrane {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A Windows language name's parts: "zh-Hant-TW" is zh, Hant, TW; "pt-BR" is pt, BR.
struct NameParts {
  std::string_view language, script, region;
};

NameParts PartsOf(std::string_view name) {
  NameParts parts;
  for (int piece = 0; !name.empty(); ++piece) {
    const size_t end = std::min(name.find_first_of("-_"), name.size());
    const std::string_view part = name.substr(0, end);
    if (piece == 0) parts.language = part;
    else (part.size() == 4 ? parts.script : parts.region) = part;
    name.remove_prefix(std::min(end + 1, name.size()));
  }
  return parts;
}

// Calls visit(language index, a name it serves) for every Windows name of every language.
template <typename Visit>
int FindServed(Visit visit) {
  for (int i = 0; i < generated::kLanguageCount; ++i)
    for (std::string_view served = generated::kLanguages[i].windows; !served.empty();) {
      const size_t end = std::min(served.find(' '), served.size());
      if (visit(served.substr(0, end))) return i;
      served.remove_prefix(std::min(end + 1, served.size()));
    }
  return -1;
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
  int found = FindServed([&](std::string_view served) { return SameName(served, name); });
  if (found < 0 && SameName(wanted.language, "zh")) {
    const bool traditional = SameName(wanted.script, "hant") ||
                             (wanted.script.empty() && (SameName(wanted.region, "tw") || SameName(wanted.region, "hk") ||
                                                        SameName(wanted.region, "mo")));
    return traditional ? "zh-Hant" : "zh-Hans";
  }
  if (found < 0)
    found = FindServed([&](std::string_view served) { return SameName(PartsOf(served).language, wanted.language); });
  return found < 0 ? std::string() : generated::kLanguages[found].code;
}

}  // namespace

Texts::Texts(std::string_view code) {
  for (int i = 1; i < generated::kLanguageCount; ++i)
    if (code == generated::kLanguages[i].code) {
      language_ = i;
      code_ = generated::kLanguages[i].code;
      countsCharacters_ = generated::kLanguages[i].countsCharacters;
    }
}

void Texts::Decode() const {
  decoded_ = true;
  const auto& language = generated::kLanguages[language_];
  const std::string_view packed(reinterpret_cast<const char*>(generated::kPacked) + language.offset, language.packed);
  auto bytes = Inflate(packed, language.size);
  if (!bytes) return;
  bytes_ = std::move(*bytes);
  for (size_t at = 0; at <= bytes_.size();) {
    const size_t end = std::min(bytes_.find('\0', at), bytes_.size());
    texts_.emplace_back(at, end - at);
    at = end + 1;
  }
  if (texts_.size() != static_cast<size_t>(kTextCount)) texts_.clear();
}

// At namespace scope: a local static would need a guard, which brings the runtime's thread-safe
// start-up of statics and its exception machinery (about 8 KiB). Decoded when first asked.
const Texts kEnglishTexts;

const Texts& EnglishTexts() { return kEnglishTexts; }

std::string_view Texts::operator[](TextId id) const {
  if (!decoded_) Decode();
  // A language whose data would not decode speaks English rather than show a box without words.
  if (texts_.empty()) return language_ == 0 ? std::string_view() : EnglishTexts()[id];
  const auto& [at, length] = texts_[static_cast<size_t>(id)];
  return std::string_view(bytes_).substr(at, length);
}

std::vector<std::string> LanguageCodes() {
  std::vector<std::string> codes;
  for (int i = 1; i < generated::kLanguageCount; ++i) codes.emplace_back(generated::kLanguages[i].code);
  return codes;
}

std::string ChooseLanguage(std::span<const std::string> preferred, std::uint16_t defaultUiLanguage) {
  for (const auto& name : preferred)
    if (std::string code = Match(name); !code.empty()) return code;
  return Match(NameOfLanguageId(defaultUiLanguage));
}

}  // namespace kestrane
