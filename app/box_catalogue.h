#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/platform_ops.h"

namespace kestrane {

// Where the stored settings stand once the box is answered (for a box with Retry: on
// Cancel), as far as Kestrane knows it.
enum class Standing {
  NothingChanged,        // a mode's checks before the tool
  IniNotChanged,         // nothing of this run touched "l2.ini", and there is no "l2.bak"
  BackupKept,            // "l2.ini" as stored, "l2.bak" kept
  IniMayDiffer,          // start-up: "l2.ini" may still hold what an earlier run left
  ModeMayBeInIni,        // a tool run has started: "l2.ini" may hold the mode's settings
  ModeInIni,             // the encode held: "l2.ini" holds the mode's settings
  PutBack,               // a stop put "l2.ini" back (the client had been started)
  PutBackNotStarted,     // a stop put "l2.ini" back before the client was started
  PutBackToolMayRun,     // ... but the tool could not be ended for certain
  NotPutBack,            // a stop could not put "l2.ini" back
  NoBackupAnyMore,       // a stop found no "l2.bak" to put back
  NoBackupModeMayStay,   // no "l2.bak", and "l2.ini" may hold the mode's settings
  ModeKeptNoBackup,      // the restore found no "l2.bak": the mode's settings stay
  Damaged,               // "l2.ini" was being rewritten in place when the step failed
  BackupRemoved,         // a new "l2.bak" that could not be shown true was removed
  BackupNotRemoved,      // ... and could not be removed
};

// One box: what happened, and the one way out that works for that cause.
struct BoxEntry {
  Box box;
  std::string_view firstLine;  // in a player's words, the box's first line and its README row
  std::string_view wayOut;
  // A file step's way out goes on with "then press Retry" (or, without Retry, with starting
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
std::string_view StandingText(Standing standing);
// The entry that tells a failed file step by the kind of its error.
Box BoxForKind(FailureKind kind);
// The entry that tells the failure: the one the logic named, else by its step and error.
Box BoxFor(const Failure& failure);

// The buttons' captions as the player sees them; empty ones are named by their place.
struct ButtonNames {
  std::string retry;
  std::string cancel;
};

// The box's whole text: the first line; the paths, command and exit code; the way out and
// where the settings stand; last, Windows' own line where it agrees with the cause.
BoxMessage ComposeBox(const Failure& failure, Standing standing, bool offerRetry, const ButtonNames& names);

// A path as the player reads it: backslashes alone, none doubled past a network path's start.
std::string ShownPath(std::string_view path);
int CountWords(std::string_view text);
// Kestrane's own words in a box stay within this, paths and Windows' line aside.
inline constexpr int kMaxOwnWords = 60;

}  // namespace kestrane
