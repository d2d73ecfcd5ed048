#include "app/box_catalogue.h"

#include <array>

namespace kestrane {
namespace {

// Every text a box can show. A first line names what happened, as the README's table of
// boxes finds it; the way out is the one that works for that cause; where the settings
// stand follows from the standing.
constexpr std::array kEntries{
    BoxEntry{Box::FileInUse, "Another program is using a file that Kestrane must change.",
             "Close the program using it (the game, an editor) or wait for your virus scanner",
             true},
    BoxEntry{Box::FileProtected, "Windows does not let Kestrane change a file.",
             "Clear the file's read-only mark (right-click it, Properties) or give yourself the right to change it",
             true},
    BoxEntry{Box::DiskFull, "The disk that holds the game is full.", "Free some space on it", true},
    BoxEntry{Box::DriveGone, "The drive or network folder that holds the game cannot be reached.", "Reconnect it",
             true},
    BoxEntry{Box::QuotaUsedUp, "Your disk quota is used up.", "Free some of your space on that disk", true},
    // The reader reads a card's lock switch only when the card goes in.
    BoxEntry{Box::DiskLocked, "The disk that holds the game is write-protected.",
             "If it is a memory card or USB stick, take it out, unlock its lock switch and put it back in; then "
             "start Kestrane again."},
    BoxEntry{Box::FileMissing, "A file Kestrane needs is missing.",
             "Put the file back, or let the game's updater repair the game", true},
    BoxEntry{Box::FileUnknown, "Windows could not say whether a file of the game is there.",
             "Make the game's folder reachable again", true},
    BoxEntry{Box::FileOther, "Windows did not let Kestrane finish a step on a file.", "Close the game if it runs",
             true},
    BoxEntry{Box::FolderDenied, "Windows does not let Kestrane write in its folder.",
             "Move the game to a folder of your own, such as C:\\Games (or close this box and start Kestrane as "
             "administrator)."},
    BoxEntry{Box::FolderGuarded, "Windows' ransomware protection keeps Kestrane from making files in its folder.",
             "In Windows Security, Ransomware protection, allow Kestrane.exe, l2encdec.exe and l2.exe, then start "
             "Kestrane again.",
             false, false},
    BoxEntry{Box::PathTooLong, "The path of Kestrane's folder is too long for the files it makes there.",
             "Move the game to a folder with a shorter path, such as C:\\Games.", false,
             false},
    BoxEntry{Box::NetworkFolder, "Kestrane's folder is a network folder, where the settings tool cannot run.",
             "Map the folder to a drive letter (This PC, Map network drive) and start Kestrane from there."},
    BoxEntry{Box::RedirectedCopy, "Windows may give the game an old copy of its settings from elsewhere.",
             "With the game closed, move that copy away (keep it if it holds settings you want), then start Kestrane "
             "again."},
    BoxEntry{Box::FolderUnsupported, "Windows cannot change the game's files where they are kept.",
             "A cloud folder or a link may be the cause: move the game to a local disk, such as C:\\Games, and start "
             "Kestrane there."},
    // Every decode reads what start-up put back from "l2.bak": where the fault is in those
    // bytes, only a new backup ends it.
    BoxEntry{Box::DecodeFailed, "The settings tool could not decode l2.ini.",
             "Let the game's updater repair l2encdec.exe, then click the mode again; if this box returns, move l2.bak "
             "away and let the updater repair l2.ini."},
    BoxEntry{Box::EncodeFailed, "The settings tool could not encode temp.dat into l2.ini.",
             "Let the game's updater repair l2encdec.exe, then click the mode again; if this box returns, move l2.bak "
             "away and let the updater repair l2.ini."},
    BoxEntry{Box::ToolTimedOut, "The settings tool did not finish within 60 seconds.",
             "Let your virus scanner trust l2encdec.exe, then click the mode again."},
    BoxEntry{Box::TextFormUnchangeable, "The settings tool wrote temp.dat in a form Kestrane cannot change safely.",
             "Let the game's updater repair l2encdec.exe; if this box returns, move l2.bak away and let it repair "
             "l2.ini too."},
    BoxEntry{Box::PatchNotKept, "The mode's settings did not read back from temp.dat as written.",
             "Close programs that change files in the game's folder (a sync tool), then click the mode again."},
    BoxEntry{Box::WorkFileGone, "temp.dat was gone before Kestrane could write the mode's settings.",
             "Let your virus scanner trust l2encdec.exe and the game's folder, then click the mode again."},
    BoxEntry{Box::NoInterpreter, "Windows' command interpreter, which runs the settings tool, could not be found.",
             "Let Windows repair its own files (sfc /scannow, run as administrator), then click the mode again."},
    BoxEntry{Box::InterpreterRefused,
             "Windows did not let Kestrane start its command interpreter, which runs the settings tool.",
             "Have your virus scanner, or whoever manages this PC's policies, allow cmd.exe, then click the mode "
             "again."},
    BoxEntry{Box::ProgramNotStarted, "Windows could not start a program of the game.",
             "Let the game's updater repair the game's files, then click the mode again."},
    BoxEntry{Box::NeedsElevation, "The game client asks for administrator rights.",
             "Close this box, then start Kestrane as administrator (right-click Kestrane.exe, Run as administrator)."},
    BoxEntry{Box::ClientNotReady, "The game had not finished starting within 60 seconds.",
             "If it does not run in the mode, close it and click the mode again.", false, false, BoxIcon::Warning},
    BoxEntry{Box::BackupGoneAtRestore, "l2.bak was gone when Kestrane was to put the settings back.",
             "With the game closed, put back your own copy of l2.ini, or let the game's updater repair l2.ini."},
    BoxEntry{Box::BackupNotTrue, "The backup l2.bak did not come out as a true copy of l2.ini.",
             "Start Kestrane again to take the backup anew."},
    BoxEntry{Box::BackupUnreadable, "Kestrane could not read back the new backup l2.bak to check it.",
             "Start Kestrane again in a moment (a virus scanner may have been looking at l2.bak)."},
};

constexpr std::string_view kDamaged = "l2.ini may be damaged: it was being rewritten.";
constexpr std::string_view kThenRetry = ", then press {Retry}.";
constexpr std::string_view kThenStartAgain = ", then start Kestrane again.";
constexpr std::string_view kCancelEnds = "{Cancel} ends Kestrane.";
// Before anything else the player does: the tool may yet write over what they put right.
constexpr std::string_view kToolMayRun = "First end l2encdec.exe in Task Manager: it may still be running.";
// Named by their place where Windows does not give their captions.
constexpr std::string_view kRetryByPlace = "the left button";
constexpr std::string_view kCancelByPlace = "The right button";

std::string_view LabelOf(Detail detail) {
  switch (detail) {
    case Detail::File: return "File";
    case Detail::From: return "From";
    case Detail::To: return "To";
    case Detail::Folder: return "Folder";
    case Detail::Program: return "Program";
    case Detail::CommandLine: return "Command line";
    case Detail::ExitCode: return "Exit code";
    case Detail::Copy: return "Copy";
  }
  return {};
}

bool IsPath(Detail detail) { return detail != Detail::CommandLine && detail != Detail::ExitCode; }

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

std::span<const BoxEntry> BoxCatalogue() { return kEntries; }

const BoxEntry& EntryFor(Box box) {
  for (const auto& entry : kEntries)
    if (entry.box == box) return entry;
  return EntryFor(Box::FileOther);
}

std::string_view StandingText(Standing standing) {
  switch (standing) {
    case Standing::NotChangedNotStarted: return "The game was not started, and l2.ini was not changed.";
    case Standing::IniNotChanged: return "l2.ini was not changed.";
    case Standing::BackupKept: return "l2.bak is kept, and Kestrane's next start puts your settings back from it.";
    case Standing::IniMayDiffer:
      return "l2.ini may still hold a mode's settings: before you start the game, start Kestrane, which puts your "
             "settings back.";
    case Standing::IniMayDifferUnsure:
      return "If l2.bak is in the folder, l2.ini may still hold a mode's settings: start Kestrane before you start "
             "the game.";
    case Standing::ToolMayHaveChanged:
      return "l2.ini may hold what the settings tool wrote: before you start the game, start Kestrane, which puts "
             "your settings back.";
    case Standing::ModeInIni:
      return "l2.ini holds the mode's settings now: before you next start the game, start Kestrane, which puts your "
             "settings back.";
    case Standing::ModeUnsure:
      return "l2.ini may hold the mode's settings: before you play, start Kestrane if l2.bak is there, else put back "
             "your own l2.ini.";
    case Standing::PutBack: return "l2.ini was put back from l2.bak: your settings are as they were.";
    case Standing::PutBackNotStarted:
      return "The game was not started, and l2.ini was put back from l2.bak: your settings are as they were.";
    case Standing::NoBackupModeMayStay:
      return "l2.bak is gone, and l2.ini may hold what the tool wrote, which Kestrane's next start would keep: put "
             "back your own l2.ini first.";
    case Standing::ModeKeptNoBackup:
      return "l2.bak is gone, and l2.ini holds the mode's settings, which Kestrane's next start would keep: put back "
             "your own l2.ini first.";
    case Standing::Damaged:
      return "Before you start the game, start Kestrane, which puts l2.ini back from l2.bak.";
    case Standing::BackupRemoved: return "l2.bak was removed, and l2.ini was not changed.";
    case Standing::BackupNotRemoved:
      return "Before that, delete l2.bak yourself (Kestrane could not remove it). l2.ini was not changed.";
  }
  return {};
}

// "Unknown" is never "absent": where l2.bak could not be seen, a sentence holds either way.
Standing StandingFrom(const SettingsFacts& facts) {
  const auto byBackup = [&](Standing there, Standing unknown, Standing absent) {
    return facts.backup == Presence::There ? there : facts.backup == Presence::Unknown ? unknown : absent;
  };
  switch (facts.ini) {
    case IniState::Untouched:
      if (facts.modeAction && !facts.gameStarted) return Standing::NotChangedNotStarted;
      return facts.backup == Presence::There ? Standing::BackupKept : Standing::IniNotChanged;
    case IniState::EarlierRunMay:
      return byBackup(Standing::IniMayDiffer, Standing::IniMayDifferUnsure, Standing::IniNotChanged);
    case IniState::ToolMay:
      return byBackup(Standing::ToolMayHaveChanged, Standing::ModeUnsure, Standing::NoBackupModeMayStay);
    case IniState::Mode: return byBackup(Standing::ModeInIni, Standing::ModeUnsure, Standing::ModeKeptNoBackup);
    case IniState::PutBack: return facts.gameStarted ? Standing::PutBack : Standing::PutBackNotStarted;
    case IniState::Damaged: return Standing::Damaged;
  }
  return Standing::BackupKept;
}

Box BoxForKind(FailureKind kind) {
  switch (kind) {
    case FailureKind::InUse: return Box::FileInUse;
    case FailureKind::AccessDenied: return Box::FileProtected;
    case FailureKind::DiskFull: return Box::DiskFull;
    case FailureKind::NotFound: return Box::FileMissing;
    case FailureKind::DriveGone: return Box::DriveGone;
    case FailureKind::QuotaExceeded: return Box::QuotaUsedUp;
    case FailureKind::MediaWriteProtected: return Box::DiskLocked;
    case FailureKind::PathTooLong: return Box::PathTooLong;
    case FailureKind::NeedsElevation: return Box::NeedsElevation;
    case FailureKind::FolderDenied: return Box::FolderDenied;
    case FailureKind::FolderGuarded: return Box::FolderGuarded;
    case FailureKind::Unsupported: return Box::FolderUnsupported;
    case FailureKind::AlreadyExists:
    case FailureKind::Other: return Box::FileOther;
  }
  return Box::FileOther;
}

// A query that cannot tell is no refused change, and a folder Windows will not enter is no
// file missing; every other cause keeps its own box.
Box BoxFor(const Failure& failure) {
  if (failure.box != Box::FromKind) return failure.box;
  const FailureKind kind = failure.kind;
  if (failure.operation == Operation::UseFolder) {
    if (kind == FailureKind::NotFound || kind == FailureKind::Other) return Box::DriveGone;
    if (kind == FailureKind::AccessDenied) return Box::FolderDenied;
  }
  if (failure.operation == Operation::Query &&
      (kind == FailureKind::AccessDenied || kind == FailureKind::NotFound || kind == FailureKind::Other ||
       kind == FailureKind::AlreadyExists))
    return Box::FileUnknown;
  return BoxForKind(kind);
}

bool RetryMayMend(const Failure& failure) { return EntryFor(BoxFor(failure)).retryStep; }

std::string ShownPath(std::string_view path) {
  std::string shown;
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c == '\\' && shown.size() >= 2 && shown.back() == '\\') continue;
    shown.push_back(c);
  }
  return shown;
}

int CountWords(std::string_view text) {
  int words = 0;
  bool inWord = false;
  for (const char c : text) {
    const bool space = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (!space && !inWord) ++words;
    inWord = !space;
  }
  return words;
}

BoxMessage ComposeBox(const Failure& failure, Standing standing, bool offerRetry, const ButtonNames& names) {
  const BoxEntry& entry = EntryFor(BoxFor(failure));
  std::string own(entry.firstLine);
  std::string text = own + "\n";
  if (!failure.details.empty()) text += "\n";
  for (const auto& [detail, value] : failure.details) {
    own += " " + std::string(LabelOf(detail)) + ":";
    text += std::string(LabelOf(detail)) + ": " + (IsPath(detail) ? ShownPath(value) : value) + "\n";
  }
  std::string body = failure.mayBeDamaged ? std::string(kDamaged) + " " : "";
  body += entry.wayOut;
  if (entry.retryStep) body += offerRetry ? kThenRetry : kThenStartAgain;
  body += offerRetry ? " " + std::string(kCancelEnds) + " " : " ";
  if (failure.runMayGoOn) body += std::string(kToolMayRun) + " ";
  body += StandingText(standing);
  ReplaceAll(body, "{Retry}", names.retry.empty() ? kRetryByPlace : names.retry);
  ReplaceAll(body, "{Cancel}", names.cancel.empty() ? kCancelByPlace : names.cancel);
  own += " " + body;
  text += "\n" + body;
  if (failure.error && entry.windowsLine && !failure.errorText.empty())
    text += "\n\n" + failure.errorText + " (" + std::to_string(failure.error) + ")";
  return {text, CountWords(own), offerRetry, entry.icon};
}

}  // namespace kestrane
