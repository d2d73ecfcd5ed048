// Every box Kestrane can show, read as a player reads it: short, with a first line and a way
// out, where the settings stand, and a row of the README's table of boxes for each.
#include <gmock/gmock.h>

#include <fstream>
#include <set>
#include <sstream>

#include "app/box_catalogue.h"
#include "app/failure_report.h"
#include "platform/program_paths.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A failure of each entry with the most details a box carries: the longest box it can be. A
// rewrite that may have damaged "l2.ini" is told with where that leaves it; a tool that may
// still run, with what to do first.
Failure Longest(Box box, Standing standing) {
  Failure failure{Operation::Copy, {{Detail::From, "C:\\Games\\Client\\l2.bak"}, {Detail::To, "C:\\Games\\Client\\l2.ini"}},
                  32, "The process cannot access the file because it is being used by another process."};
  failure.box = box;
  failure.mayBeDamaged = standing == Standing::Damaged;
  failure.runMayGoOn = box == Box::ToolTimedOut;
  return failure;
}

std::vector<std::string> EveryLanguage() {
  std::vector<std::string> codes{"en"};
  for (const auto& code : LanguageCodes()) codes.push_back(code);
  return codes;
}

// Every box in every language: its first line, a way out, where the settings stand, within
// the length a player reads, whatever the standing, with and without Retry, the buttons named
// or by their place; no placeholder left, the paths whole.
TEST(BoxCatalogue, EveryBoxInEveryLanguageIsShortHasAFirstLineAndAWayOutAndEveryCauseHasItsBox) {
  for (const auto& code : EveryLanguage()) {
    const Texts texts(code);
    ASSERT_EQ(texts.Code(), code) << "a language that does not decode";
    SCOPED_TRACE(code);
    const ButtonNames named{std::string(texts[TextId::button_retry]), std::string(texts[TextId::button_cancel])};
    std::set<std::string> firstLines;
    for (int id = static_cast<int>(Box::FileInUse); id <= static_cast<int>(Box::BackupUnreadable); ++id) {
      const Box box = static_cast<Box>(id);
      EXPECT_EQ(EntryFor(box).box, box) << "a cause without its entry: " << id;
      const std::string first = FirstLine(box, texts);
      SCOPED_TRACE(first);
      EXPECT_TRUE(firstLines.insert(first).second) << "two boxes begin alike";
      EXPECT_FALSE(WayOut(box, texts).empty());
      EXPECT_THAT(WayOut(box, texts), Not(HasSubstr(named.retry))) << "a way out names a button itself";
      for (int standingId = 0; standingId < kStandingCount; ++standingId)
        for (const RetryOffer retry : {RetryOffer::No, EntryFor(box).retryStep ? RetryOffer::Yes : RetryOffer::No})
          for (const ButtonNames& names : {ButtonNames{}, named}) {
            const auto standing = static_cast<Standing>(standingId);
            const BoxMessage shown = ComposeBox(Longest(box, standing), standing, retry, names, texts);
            EXPECT_LE(shown.ownWords, texts.CountsCharacters() ? kMaxOwnCharacters : kMaxOwnWords) << shown.text;
            EXPECT_TRUE(shown.text.starts_with(first));
            EXPECT_THAT(shown.text, HasSubstr(": C:\\Games\\Client\\l2.bak\n"));
            EXPECT_EQ(shown.text.find_first_of("{}"), std::string::npos) << shown.text;
            if (retry == RetryOffer::Yes) {
              EXPECT_THAT(shown.text, HasSubstr(names.retry.empty() ? std::string(texts[TextId::sentence_then_retry_by_place])
                                                                     : Filled(texts[TextId::sentence_then_retry], names)));
            }
          }
    }
    EXPECT_EQ(firstLines.size(), BoxCatalogue().size());
  }
}

TEST(BoxCatalogue, ABoxNamesPathsWholeTheButtonsAsShownAndWindowsOnlyWhereItAgrees) {
  Failure held{Operation::Write, {{Detail::File, "K:\\/temp.dat"}}, 32, "Der Prozess kann nicht zugreifen."};
  held.kind = FailureKind::InUse;
  const BoxMessage german = ComposeBox(held, Standing::ModeInIni, RetryOffer::Yes, {"Wiederholen", "Abbrechen"});
  EXPECT_THAT(german.text, HasSubstr("File: K:\\temp.dat\n"));
  EXPECT_THAT(german.text, HasSubstr("Then press Wiederholen."));
  EXPECT_THAT(german.text, HasSubstr("Abbrechen ends Kestrane."));
  EXPECT_TRUE(german.text.ends_with("\n\nDer Prozess kann nicht zugreifen. (32)")) << german.text;
  EXPECT_EQ(german.icon, BoxIcon::Error);
  const BoxMessage unnamed = ComposeBox(held, Standing::ModeInIni, RetryOffer::Yes, {});
  EXPECT_THAT(unnamed.text, AllOf(HasSubstr("press the left button."), HasSubstr("The right button ends Kestrane.")));
  EXPECT_EQ(WithOneSeparator("\\\\server/share\\\\Game//l2.ini"), "\\\\server\\share\\Game\\l2.ini");

  Failure guarded{Operation::CheckFolder, {{Detail::Folder, "C:\\Users\\P\\Documents\\Game"}}, 2, "Not found."};
  guarded.kind = FailureKind::FolderGuarded;
  EXPECT_THAT(ComposeBox(guarded, Standing::NotChangedNotStarted, RetryOffer::No, {}).text, Not(HasSubstr("Not found.")))
      << "Windows' line contradicts the cause";
  Failure late{Operation::Start, {{Detail::CommandLine, "l2.exe"}}};
  late.box = Box::ClientNotReady;
  EXPECT_EQ(ComposeBox(late, Standing::PutBack, RetryOffer::No, {}).icon, BoxIcon::Warning);
}

// A query that cannot tell is never a refused change, yet keeps a cause of its own; a folder
// that cannot be entered is one that cannot be reached or may not be entered; and Retry is
// offered exactly where the box's words say it may mend the cause.
TEST(BoxCatalogue, AFailedStepIsToldByItsErrorAndWhatItWasDoing) {
  struct Case {
    Operation operation;
    std::uint32_t error;
    Box box;
    bool retry;
  };
  const Case cases[] = {
      {Operation::Query, 5, Box::FileUnknown, true},         {Operation::Query, 53, Box::DriveGone, true},
      {Operation::Query, 206, Box::PathTooLong, false},      {Operation::Query, 1920, Box::FolderUnsupported, false},
      {Operation::UseFolder, 2, Box::DriveGone, true},       {Operation::UseFolder, 5, Box::FolderDenied, false},
      {Operation::UseFolder, 206, Box::PathTooLong, false},  {Operation::Write, 5, Box::FileProtected, true},
      {Operation::Write, 19, Box::DiskLocked, false},        {Operation::Write, 1, Box::FolderUnsupported, false},
      {Operation::Copy, 381, Box::FolderUnsupported, false}, {Operation::Copy, 1232, Box::DriveGone, true},
      {Operation::Read, 1006, Box::DriveGone, true},         {Operation::Delete, 303, Box::FileInUse, true},
  };
  for (const auto& [operation, error, box, retry] : cases) {
    Failure failure{operation, {}, error};
    failure.kind = KindOfWindowsError(error);
    EXPECT_EQ(BoxFor(failure), box) << "error " << error;
    EXPECT_EQ(RetryMayMend(failure), retry) << "error " << error;
  }
  Failure write{Operation::Write, {}, 5};
  write.kind = FailureKind::AccessDenied;
  write.box = Box::PatchNotKept;
  EXPECT_EQ(BoxFor(write), Box::PatchNotKept);
}

// The display language decides, in the order the player set; never the regional format,
// which Kestrane does not ask for. A language Kestrane lacks, or a supplemental locale's
// 0x1400, passes to the next; with none of its languages, English stands in.
TEST(BoxCatalogue, TheLanguageIsTheDisplaysInThePlayersOrderAndChineseByScript) {
  struct Case {
    std::vector<std::string> preferred;
    std::uint16_t defaultUi;
    const char* chosen;
  };
  const Case cases[] = {
      {{"ru-RU"}, 0x0419, "ru"},          {{"pt-BR"}, 0x0416, "pt-BR"},       {{"pt-PT"}, 0x0816, "pt-BR"},
      {{"es-MX"}, 0x080a, "es"},          {{"zh-HK"}, 0x0c04, "zh-Hant"},     {{"zh-TW"}, 0x0404, "zh-Hant"},
      {{"zh-MO"}, 0x1404, "zh-Hant"},     {{"zh-Hant-HK"}, 0x0c04, "zh-Hant"}, {{"zh-CN"}, 0x0804, "zh-Hans"},
      {{"zh-SG"}, 0x1004, "zh-Hans"},     {{"zh-Hans"}, 0x0804, "zh-Hans"},   {{"ar-SA", "fr-FR"}, 0x0401, "fr"},
      {{"ar-SA"}, 0x0401, ""},            {{}, 0x1400, ""},                    {{}, 0x0412, "ko"},
      {{}, 0x0c04, "zh-Hant"},            {{"en-GB", "ru-RU"}, 0x0809, "en"}, {{"de-AT"}, 0x0c07, "de"},
      {{"uk-UA"}, 0x0422, "uk"},          {{"vi-VN"}, 0x042a, "vi"},          {{"th-TH"}, 0x041e, "th"},
      // An English display with Russian formats: Windows reports the display only.
      {{"en-US"}, 0x0409, "en"},
  };
  EXPECT_EQ(LanguageCodes().size(), 16u) << "a language is missing";
  for (const auto& [preferred, defaultUi, chosen] : cases) {
    const std::string want = chosen;
    EXPECT_EQ(ChooseLanguage(preferred, defaultUi), want)
        << (preferred.empty() ? std::string("(none)") : preferred.front()) << ", default " << defaultUi;
  }
}

// A box as the player meets it: in the display's language, its buttons named by Windows'
// captions, else as that language's Windows names them, else (a language Kestrane lacks,
// where English stands in) by their place.
TEST(BoxCatalogue, ABoxSpeaksTheDisplaysLanguageAndNamesItsButtonsAsItsWindowsDoes) {
  struct Case {
    std::string display;
    bool captionsGiven;
    std::string language, retryNamed;
  };
  const std::vector<Case> cases{{"ru-RU", true, "ru", "WindowsRetry"},
                                {"ru-RU", false, "ru", ""},
                                {"en-US", false, "en", "Retry"},
                                {"ar-SA", false, "en", "the left button"}};
  Failure held{Operation::Copy, {{Detail::From, "C:\\Games\\Client\\l2.bak"}}, 32, "In use."};
  held.kind = FailureKind::InUse;
  for (const auto& [display, captionsGiven, language, retryNamed] : cases) {
    FakePlatformOps fake;
    Form1 = MainForm{};
    Form1.Bind(fake);
    fake.SetDisplayLanguages({{display}, 0});
    fake.SetButtonCaptions(captionsGiven ? "WindowsRetry" : "", captionsGiven ? "WindowsCancel" : "");
    ShowFailure(fake, held, Standing::ModeInIni, RetryOffer::Yes);
    const Texts texts(language);
    const std::string text = fake.CallsOf({"ErrorBox"}).at(0).args[0];
    EXPECT_TRUE(text.starts_with(FirstLine(Box::FileInUse, texts))) << display << ":\n" << text;
    const std::string retry = retryNamed.empty() ? std::string(texts[TextId::button_retry]) : retryNamed;
    EXPECT_THAT(text, HasSubstr(retry)) << display;
  }
  Form1 = MainForm{};
}

// The README's table of boxes: a row for every first line, and no row for a box that is not.
std::vector<std::string> BoxRowsOfTheReadme() {
  std::ifstream readme(std::string(KESTRANE_SOURCE_DIR) + "/README.md");
  std::vector<std::string> rows;
  bool inTable = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.starts_with("## If a box appears")) inTable = true;
    else if (line.starts_with("## ")) inTable = false;
    if (!inTable || !line.starts_with("| ") || line.starts_with("| The box") || line.starts_with("|--")) continue;
    rows.push_back(line.substr(2, line.find(" |", 2) - 2));
  }
  return rows;
}

TEST(BoxCatalogue, TheReadmeHasARowForEveryBoxFoundByItsFirstLine) {
  const std::vector<std::string> rows = BoxRowsOfTheReadme();
  ASSERT_FALSE(rows.empty()) << "no table of boxes in README.md";
  std::set<std::string> firstLines;
  for (const auto& entry : BoxCatalogue()) {
    firstLines.insert(FirstLine(entry.box));
    EXPECT_THAT(rows, ::testing::Contains(FirstLine(entry.box))) << "README.md has no row for this box";
  }
  for (const auto& row : rows) EXPECT_TRUE(firstLines.contains(row)) << "README.md tells of a box there is not: " << row;
}

}  // namespace
}  // namespace kestrane::testing
