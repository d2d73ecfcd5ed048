#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/texts.h"
#include "platform/platform_ops.h"

namespace kestrane {

// Where the stored settings stand once the box is answered (for a box with Retry: on
// Cancel), as far as Kestrane knows it. Decided from facts by StandingFrom.
enum class Standing {
  NotChangedNotStarted,  // a mode before its encode: l2.ini untouched, the game not started
  IniNotChanged,         // nothing of this run touched "l2.ini", and there is no "l2.bak"
  BackupKept,            // "l2.ini" as stored, "l2.bak" kept
  IniMayDiffer,          // start-up: "l2.ini" may still hold what an earlier run left
  IniMayDifferUnsure,    // ... where "l2.bak" could not be seen
  ToolMayHaveChanged,    // the encode has started: "l2.ini" may hold what the tool wrote
  ModeInIni,             // the encode held: "l2.ini" holds the mode's settings
  ModeUnsure,            // either of those, and "l2.bak" could not be seen
  PutBack,               // a stop put "l2.ini" back (the client had been started)
  PutBackNotStarted,     // a stop put "l2.ini" back before the client was started
  NoBackupModeMayStay,   // no "l2.bak", and "l2.ini" may hold what the tool wrote
  ModeKeptNoBackup,      // no "l2.bak", and "l2.ini" holds the mode's settings
  Damaged,               // "l2.ini" was being rewritten in place when the step failed
  BackupRemoved,         // a new "l2.bak" that could not be shown true was removed
  BackupNotRemoved,      // ... and could not be removed
};
inline constexpr int kStandingCount = static_cast<int>(Standing::BackupNotRemoved) + 1;

// What Kestrane knows of its files when a box is shown.
enum class Presence { There, Absent, Unknown };
enum class IniState {
  Untouched,      // this action has not changed "l2.ini"
  EarlierRunMay,  // start-up before its restore: "l2.ini" may hold what an earlier run left
  ToolMay,        // the encode has started and is not checked: anything it wrote
  Mode,           // the encode was checked: the mode's settings
  PutBack,        // a stop put it back from "l2.bak"
  Damaged,        // a rewrite in place stopped part-way
};
struct SettingsFacts {
  Presence backup = Presence::There;
  IniState ini = IniState::Untouched;
  bool modeAction = false;   // a mode runs (it may start the game)
  bool gameStarted = false;
};
// The one place where the facts become what a box says of the settings.
Standing StandingFrom(const SettingsFacts& facts);

// One box: what happened, and the one way out that works for that cause.
struct BoxEntry {
  Box box;
  TextId firstLine;  // in a player's words, the box's first line and its README row
  TextId wayOut;
  // A file step's way out goes on with "Then press Retry." (or, without Retry, with starting
  // Kestrane again).
  bool retryStep = false;
  // Windows' own line agrees with the cause (it would not, say, call ransomware protection
  // "file not found").
  bool windowsLine = true;
  BoxIcon icon = BoxIcon::Error;
};

// Every box Kestrane can show, in one table.
std::span<const BoxEntry> BoxCatalogue();
const BoxEntry& EntryFor(Box box);

// The buttons' captions as the player sees them; empty ones are named by their place.
struct ButtonNames {
  std::string retry;
  std::string cancel;
};

// A text with its placeholders filled: the file names and numbers from the program's
// constants, the buttons' captions as given.
std::string Filled(std::string_view text, const ButtonNames& names = {});
// An entry's first line, its way out, a standing, as the player reads them in that language.
std::string FirstLine(Box box, const Texts& texts = EnglishTexts());
std::string WayOut(Box box, const Texts& texts = EnglishTexts());
std::string StandingText(Standing standing, const Texts& texts = EnglishTexts());
// The entry that tells a failed file step by the kind of its error.
Box BoxForKind(FailureKind kind);
// The entry that tells the failure: the one the logic named, else by its step and error.
Box BoxFor(const Failure& failure);
// Whether the player can mend the cause and press Retry without starting Kestrane anew: its
// box says so, so that what the box offers and what its words say are one decision.
bool RetryMayMend(const Failure& failure);

// Whether a box offers Retry beside Cancel, or OK alone.
enum class RetryOffer { No, Yes };

// The box's whole text: the first line; the paths, command and exit code; the way out, a
// tool that may still run, and where the settings stand; last, Windows' own line where it
// agrees with the cause and Windows gave one.
BoxMessage ComposeBox(const Failure& failure, Standing standing, RetryOffer retry, const ButtonNames& names,
                      const Texts& texts = EnglishTexts());

int CountWords(std::string_view text);
// Characters, where a language writes no spaces between words; a placeholder is one.
int CountCharacters(std::string_view text);
// Kestrane's own words in a box stay within this, paths and Windows' line aside; in a
// language measured in characters, within kMaxOwnCharacters.
inline constexpr int kMaxOwnWords = 60;
inline constexpr int kMaxOwnCharacters = 150;

}  // namespace kestrane
