#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/texts_generated.h"

namespace kestrane {

namespace generated {
// One language's texts: which Windows display languages it serves, and its packed bytes.
struct LanguageData {
  const char* code;
  const char* windows;  // Windows language names, space-separated ("pt-BR pt")
  bool countsCharacters;
  unsigned offset, packed, size;
};
extern const LanguageData kLanguages[];  // English first
extern const int kLanguageCount;
extern const unsigned char kPacked[];
}  // namespace generated

// The texts of one language, decoded the first time one is asked for; English where none is
// chosen, where Kestrane lacks the language, or where its data would not decode.
class Texts {
 public:
  Texts() = default;
  // The language of that code ("ru", "zh-Hant").
  explicit Texts(std::string_view code);
  std::string_view operator[](TextId id) const;
  const std::string& Code() const { return code_; }
  // Whether the player's display language is this one: English also when it stood in.
  bool SpeaksTheDisplayLanguage() const { return matched_; }
  void SetSpeaksTheDisplayLanguage(bool matched) { matched_ = matched; }
  // Written without spaces between words: a box is measured in characters.
  bool CountsCharacters() const { return countsCharacters_; }

 private:
  void Decode() const;

  std::string code_ = "en";
  int language_ = 0;  // in generated::kLanguages
  bool matched_ = true;
  bool countsCharacters_ = false;
  mutable bool decoded_ = false;
  mutable std::string bytes_;
  mutable std::vector<std::pair<std::size_t, std::size_t>> texts_;  // where each text lies in bytes_
};

const Texts& EnglishTexts();
// Every language Kestrane speaks besides English, by code.
std::vector<std::string> LanguageCodes();

// The language of the player's Windows display, never of the regional format: the preferred
// UI languages in order, then the default UI language (a supplemental locale's 0x1400 says
// nothing). For each: the exact name, then Chinese by its script, then the main language.
// Empty where Kestrane has none of them.
std::string ChooseLanguage(std::span<const std::string> preferred, std::uint16_t defaultUiLanguage);

}  // namespace kestrane
