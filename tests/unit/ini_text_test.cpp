#include <gmock/gmock.h>

#include "client/ini_text.h"
#include "client/mode_profiles.h"

namespace kestrane {
namespace {

std::string Utf16Le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::string Patched(const std::string& bytes, const ModeProfile& profile = GameProfile) {
  auto decoded = DecodeSettingsText(bytes);
  EXPECT_TRUE(decoded.settings) << decoded.problem;
  if (!decoded.settings) return {};
  for (const auto& setting : profile.settings)
    decoded.settings->text = WithIniValue(decoded.settings->text, "URL", setting.key, setting.value);
  return EncodeSettingsText(*decoded.settings);
}

struct FormCase {
  const char* name;
  std::function<std::string(const std::string&)> encode;
};

class EachTextForm : public ::testing::TestWithParam<std::tuple<FormCase, const char*>> {};

// Byte for byte: the four keys replaced or added after the section's last line, before its
// blank line; every other line, the byte-order mark and the line ends as they were.
TEST_P(EachTextForm, PatchChangesOnlyTheFourKeysAndKeepsFormAndLineEnds) {
  const auto& [form, end] = GetParam();
  const std::string e = end;
  const std::string before = "; Клиент\u00e9" + e + "[URL]" + e + "ServerAddr=login.example.net" + e +
                             "IsL2NetLogin=False" + e + e + "[Video]" + e + "Width=1280" + e + "IsL2Console=Keep";
  const std::string after = "; Клиент\u00e9" + e + "[URL]" + e + "ServerAddr=login.example.net" + e +
                            "IsL2NetLogin=True" + e + "IsL2Console=True" + e + "IsUseCommand=True" + e +
                            "L2ThreadFilter=1" + e + e + "[Video]" + e + "Width=1280" + e + "IsL2Console=Keep";
  EXPECT_EQ(Patched(form.encode(before)), form.encode(after));
}

std::string AsAnsi(const std::string& text) { return text; }
std::string AsUtf8WithBom(const std::string& text) { return "\xEF\xBB\xBF" + text; }
std::string AsUtf16Le(const std::string& text) { return EncodeSettingsText({TextForm::Utf16LeWithBom, text}); }

std::string FormCaseName(const ::testing::TestParamInfo<std::tuple<FormCase, const char*>>& param) {
  return std::string(std::get<0>(param.param).name) + (std::string(std::get<1>(param.param)) == "\n" ? "Lf" : "CrLf");
}

INSTANTIATE_TEST_SUITE_P(FormsAndLineEnds, EachTextForm,
                         ::testing::Combine(::testing::Values(FormCase{"Ansi", AsAnsi},
                                                              FormCase{"Utf8Bom", AsUtf8WithBom},
                                                              FormCase{"Utf16Le", AsUtf16Le}),
                                            ::testing::Values("\r\n", "\n")),
                         FormCaseName);

TEST(IniText, Utf16TextBeyondTheBasicPlaneComesBackUnchanged) {
  const std::string bytes = Utf16Le(u"[Chat]\r\nName=\u0416\U0001F985\r\n");
  const auto decoded = DecodeSettingsText(bytes);
  ASSERT_TRUE(decoded.settings);
  EXPECT_EQ(decoded.settings->text, "[Chat]\r\nName=\u0416\U0001F985\r\n");
  EXPECT_EQ(EncodeSettingsText(*decoded.settings), bytes);
}

TEST(IniText, AMissingSectionIsAddedAfterALastLineWithoutALineEnd) {
  EXPECT_EQ(WithIniValue("[Video]\nWidth=800", "URL", "IsL2Console", "True"),
            "[Video]\nWidth=800\n[URL]\nIsL2Console=True\n");
  EXPECT_EQ(WithIniValue("", "URL", "IsL2Console", "True"), "[URL]\r\nIsL2Console=True\r\n");
  EXPECT_EQ(WithIniValue("[url]\r\n isl2console = False \r\n", "URL", "IsL2Console", "True"),
            "[url]\r\nIsL2Console=True\r\n");
}

TEST(IniText, TextThatCannotBePatchedSafelyIsRefused) {
  EXPECT_FALSE(DecodeSettingsText(std::string("[\0U\0R\0L\0]\0", 10)).settings) << "UTF-16 without a mark";
  EXPECT_FALSE(DecodeSettingsText("\xFE\xFF\0[").settings) << "big-endian UTF-16";
  EXPECT_FALSE(DecodeSettingsText(std::string("\xFF\xFE\x00\xD8[\0", 6)).settings) << "a lone surrogate";
  EXPECT_FALSE(DecodeSettingsText("\xFF\xFE[\0U").settings) << "half a code unit";
  EXPECT_FALSE(DecodeSettingsText("[URL]\rIsL2Console=False\r").settings) << "carriage returns alone";
  const auto refused = DecodeSettingsText(std::string("a\0b", 3));
  EXPECT_THAT(refused.problem, ::testing::HasSubstr("zero bytes"));
}

// As the system's readers: the first section of a name and its first key count.
TEST(IniText, ReadersSeeTheFirstSectionAndTheFirstKeyOfAName) {
  const auto settings = ReadIniSettings("[URL]\nIsL2Console=First\nisl2console=Second\n[Video]\nW=1\n[url]\nIsL2Console=Third\nX=1\n");
  EXPECT_EQ(settings.at(IniSettingKey("URL", "IsL2Console")).value, "First");
  EXPECT_EQ(settings.at(IniSettingKey("url", "ISL2CONSOLE")).name, "[URL] IsL2Console");
  EXPECT_FALSE(settings.contains(IniSettingKey("URL", "X")));
  EXPECT_EQ(settings.size(), 2u);
  EXPECT_EQ(WithIniValue("[URL]\nA=1\n[url]\nIsL2Console=Old\n", "URL", "IsL2Console", "New"),
            "[URL]\nA=1\nIsL2Console=New\n[url]\nIsL2Console=Old\n");
}

// As the system reads them: a key line without "=" is the key, with an empty value, and
// becomes key=value where it stands; a "[" line that never closes is no header.
TEST(IniText, ABareKeyLineIsTheKeyAndAnUnclosedHeaderIsNoSection) {
  EXPECT_EQ(WithIniValue("[URL]\r\nIsL2Console\r\nA=1\r\n", "URL", "IsL2Console", "True"),
            "[URL]\r\nIsL2Console=True\r\nA=1\r\n");
  EXPECT_EQ(ReadIniSettings("[URL]\nIsL2Console\nIsL2Console=Later\n").at(IniSettingKey("URL", "IsL2Console")).value, "");
  EXPECT_EQ(WithIniValue("[URL\nIsL2Console=False\n", "URL", "IsL2Console", "True"),
            "[URL\nIsL2Console=False\n[URL]\nIsL2Console=True\n");
  const auto settings = ReadIniSettings("[Video]\n[URL\nIsL2Console=False\n");
  EXPECT_EQ(settings.at(IniSettingKey("Video", "IsL2Console")).value, "False");
  EXPECT_FALSE(settings.contains(IniSettingKey("URL", "IsL2Console")));
  // The name runs to the last "]": "[URL]] ;" is section "URL]", not "URL".
  EXPECT_EQ(WithIniValue("[URL]] ;\nA=1\n", "URL", "IsL2Console", "True"), "[URL]] ;\nA=1\n[URL]\nIsL2Console=True\n");
}

}  // namespace
}  // namespace kestrane
