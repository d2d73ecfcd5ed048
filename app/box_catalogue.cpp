#include "app/box_catalogue.h"

#include <array>

#include "client/client_files.h"
#include "client/mode_launch.h"
#include "platform/program_paths.h"

namespace kestrane {
namespace {

// Every text a box can show. A first line names what happened, as the README's table of
// boxes finds it; the way out is the one that works for that cause; where the settings
// stand follows from the standing.
constexpr std::array kEntries{
    BoxEntry{.box = Box::FileInUse, .firstLine = TextId::box_FileInUse_first,
             .wayOut = TextId::box_FileInUse_way_out, .retryStep = true},
    BoxEntry{.box = Box::FileProtected, .firstLine = TextId::box_FileProtected_first,
             .wayOut = TextId::box_FileProtected_way_out, .retryStep = true},
    BoxEntry{.box = Box::DiskFull, .firstLine = TextId::box_DiskFull_first,
             .wayOut = TextId::box_DiskFull_way_out, .retryStep = true},
    BoxEntry{.box = Box::DriveGone, .firstLine = TextId::box_DriveGone_first,
             .wayOut = TextId::box_DriveGone_way_out, .retryStep = true},
    BoxEntry{.box = Box::QuotaUsedUp, .firstLine = TextId::box_QuotaUsedUp_first,
             .wayOut = TextId::box_QuotaUsedUp_way_out, .retryStep = true},
    // The reader reads a card's lock switch only when the card goes in.
    BoxEntry{.box = Box::DiskLocked, .firstLine = TextId::box_DiskLocked_first,
             .wayOut = TextId::box_DiskLocked_way_out},
    BoxEntry{.box = Box::FileMissing, .firstLine = TextId::box_FileMissing_first,
             .wayOut = TextId::box_FileMissing_way_out, .retryStep = true},
    BoxEntry{.box = Box::FileUnknown, .firstLine = TextId::box_FileUnknown_first,
             .wayOut = TextId::box_FileUnknown_way_out, .retryStep = true},
    BoxEntry{.box = Box::FileOther, .firstLine = TextId::box_FileOther_first,
             .wayOut = TextId::box_FileOther_way_out, .retryStep = true},
    BoxEntry{.box = Box::FolderDenied, .firstLine = TextId::box_FolderDenied_first,
             .wayOut = TextId::box_FolderDenied_way_out},
    BoxEntry{.box = Box::FolderGuarded, .firstLine = TextId::box_FolderGuarded_first,
             .wayOut = TextId::box_FolderGuarded_way_out, .windowsLine = false},
    BoxEntry{.box = Box::PathTooLong, .firstLine = TextId::box_PathTooLong_first,
             .wayOut = TextId::box_PathTooLong_way_out, .windowsLine = false},
    BoxEntry{.box = Box::NetworkFolder, .firstLine = TextId::box_NetworkFolder_first,
             .wayOut = TextId::box_NetworkFolder_way_out},
    BoxEntry{.box = Box::RedirectedCopy, .firstLine = TextId::box_RedirectedCopy_first,
             .wayOut = TextId::box_RedirectedCopy_way_out},
    BoxEntry{.box = Box::FolderUnsupported, .firstLine = TextId::box_FolderUnsupported_first,
             .wayOut = TextId::box_FolderUnsupported_way_out},
    // Every decode reads what start-up put back from "l2.bak": where the fault is in those
    // bytes, only a new backup ends it.
    BoxEntry{.box = Box::DecodeFailed, .firstLine = TextId::box_DecodeFailed_first,
             .wayOut = TextId::box_DecodeFailed_way_out},
    BoxEntry{.box = Box::EncodeFailed, .firstLine = TextId::box_EncodeFailed_first,
             .wayOut = TextId::box_EncodeFailed_way_out},
    BoxEntry{.box = Box::ToolTimedOut, .firstLine = TextId::box_ToolTimedOut_first,
             .wayOut = TextId::box_ToolTimedOut_way_out},
    BoxEntry{.box = Box::TextFormUnchangeable, .firstLine = TextId::box_TextFormUnchangeable_first,
             .wayOut = TextId::box_TextFormUnchangeable_way_out},
    BoxEntry{.box = Box::PatchNotKept, .firstLine = TextId::box_PatchNotKept_first,
             .wayOut = TextId::box_PatchNotKept_way_out},
    BoxEntry{.box = Box::WorkFileGone, .firstLine = TextId::box_WorkFileGone_first,
             .wayOut = TextId::box_WorkFileGone_way_out},
    BoxEntry{.box = Box::NoInterpreter, .firstLine = TextId::box_NoInterpreter_first,
             .wayOut = TextId::box_NoInterpreter_way_out},
    BoxEntry{.box = Box::InterpreterRefused, .firstLine = TextId::box_InterpreterRefused_first,
             .wayOut = TextId::box_InterpreterRefused_way_out},
    BoxEntry{.box = Box::ProgramNotStarted, .firstLine = TextId::box_ProgramNotStarted_first,
             .wayOut = TextId::box_ProgramNotStarted_way_out},
    BoxEntry{.box = Box::NeedsElevation, .firstLine = TextId::box_NeedsElevation_first,
             .wayOut = TextId::box_NeedsElevation_way_out},
    BoxEntry{.box = Box::ClientNotReady, .firstLine = TextId::box_ClientNotReady_first,
             .wayOut = TextId::box_ClientNotReady_way_out, .windowsLine = false, .icon = BoxIcon::Warning},
    BoxEntry{.box = Box::BackupGoneAtRestore, .firstLine = TextId::box_BackupGoneAtRestore_first,
             .wayOut = TextId::box_BackupGoneAtRestore_way_out},
    BoxEntry{.box = Box::BackupNotTrue, .firstLine = TextId::box_BackupNotTrue_first,
             .wayOut = TextId::box_BackupNotTrue_way_out},
    BoxEntry{.box = Box::BackupUnreadable, .firstLine = TextId::box_BackupUnreadable_first,
             .wayOut = TextId::box_BackupUnreadable_way_out},
};

TextId LabelOf(Detail detail) {
  switch (detail) {
    case Detail::File: return TextId::label_File;
    case Detail::From: return TextId::label_From;
    case Detail::To: return TextId::label_To;
    case Detail::Folder: return TextId::label_Folder;
    case Detail::Program: return TextId::label_Program;
    case Detail::CommandLine: return TextId::label_CommandLine;
    case Detail::ExitCode: return TextId::label_ExitCode;
    case Detail::Copy: return TextId::label_Copy;
  }
  return TextId::label_File;
}

TextId StandingId(Standing standing) {
  switch (standing) {
    case Standing::NotChangedNotStarted: return TextId::standing_NotChangedNotStarted;
    case Standing::IniNotChanged: return TextId::standing_IniNotChanged;
    case Standing::BackupKept: return TextId::standing_BackupKept;
    case Standing::IniMayDiffer: return TextId::standing_IniMayDiffer;
    case Standing::IniMayDifferUnsure: return TextId::standing_IniMayDifferUnsure;
    case Standing::ToolMayHaveChanged: return TextId::standing_ToolMayHaveChanged;
    case Standing::ModeInIni: return TextId::standing_ModeInIni;
    case Standing::ModeUnsure: return TextId::standing_ModeUnsure;
    case Standing::PutBack: return TextId::standing_PutBack;
    case Standing::PutBackNotStarted: return TextId::standing_PutBackNotStarted;
    case Standing::NoBackupModeMayStay: return TextId::standing_NoBackupModeMayStay;
    case Standing::ModeKeptNoBackup: return TextId::standing_ModeKeptNoBackup;
    case Standing::Damaged: return TextId::standing_Damaged;
    case Standing::BackupRemoved: return TextId::standing_BackupRemoved;
    case Standing::BackupNotRemoved: return TextId::standing_BackupNotRemoved;
  }
  return TextId::standing_BackupKept;
}

bool IsPath(Detail detail) { return detail != Detail::CommandLine && detail != Detail::ExitCode; }

// Names and commands a box gives the player to find or type.
constexpr std::string_view kLauncherFile = "Kestrane.exe";
constexpr std::string_view kGamesFolderExample = "C:\\Games";
constexpr std::string_view kRepairCommand = "sfc /scannow";

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

// Kestrane's own measure of a text still holding its placeholders: code points that are not
// spaces, a placeholder counting as one.
int CountCharacters(std::string_view text) {
  int characters = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '{') {
      const size_t close = text.find('}', at);
      if (close != std::string_view::npos) {
        ++characters;
        at = close;
        continue;
      }
    }
    const bool continuation = (static_cast<unsigned char>(c) & 0xc0) == 0x80;
    if (!continuation && c != ' ' && c != '\n' && c != '\r' && c != '\t') ++characters;
  }
  return characters;
}

std::string Filled(std::string_view text, const ButtonNames& names) {
  std::string filled(text);
  const std::string toolSeconds = std::to_string(kToolTimeoutSeconds);
  const std::string readySeconds = std::to_string(kClientReadySeconds);
  const std::pair<std::string_view, std::string_view> values[] = {
      {"{settings}", kClientSettings},   {"{backup}", kSettingsBackup},          {"{workcopy}", kWorkFile},
      {"{tool}", kEncoderTool},          {"{client}", kClientProgram},           {"{launcher}", kLauncherFile},
      {"{interpreter}", kInterpreterFile}, {"{games_folder}", kGamesFolderExample}, {"{repair_command}", kRepairCommand},
      {"{tool_seconds}", toolSeconds},   {"{ready_seconds}", readySeconds},      {"{Retry}", names.retry},
      {"{Cancel}", names.cancel}};
  for (const auto& [placeholder, value] : values) ReplaceAll(filled, placeholder, value);
  return filled;
}

std::string FirstLine(Box box, const Texts& texts) { return Filled(texts[EntryFor(box).firstLine]); }

std::string WayOut(Box box, const Texts& texts) { return Filled(texts[EntryFor(box).wayOut]); }

std::string StandingText(Standing standing, const Texts& texts) { return Filled(texts[StandingId(standing)]); }

BoxMessage ComposeBox(const Failure& failure, Standing standing, RetryOffer retry, const ButtonNames& names,
                      const Texts& texts) {
  const BoxEntry& entry = EntryFor(BoxFor(failure));
  const bool offerRetry = retry == RetryOffer::Yes;
  // Chinese and Japanese set sentences one after another without a space.
  const bool spaced = !texts.Code().starts_with("zh") && texts.Code() != "ja";
  const auto add = [&](std::string& to, std::string_view sentence) {
    to += (to.empty() || !spaced ? "" : " ") + std::string(sentence);
  };
  std::string own(texts[entry.firstLine]);
  std::string text = Filled(own) + "\n";
  if (!failure.details.empty()) text += "\n";
  for (const auto& [detail, value] : failure.details) {
    const std::string label(texts[LabelOf(detail)]);
    own += " " + label + ":";
    text += label + ": " + (IsPath(detail) ? WithOneSeparator(value) : value) + "\n";
  }
  std::string body;
  if (failure.mayBeDamaged) add(body, texts[TextId::sentence_damaged]);
  add(body, texts[entry.wayOut]);
  if (entry.retryStep && !offerRetry) add(body, texts[TextId::sentence_then_start_again]);
  if (offerRetry) {
    add(body, texts[names.retry.empty() ? TextId::sentence_then_retry_by_place : TextId::sentence_then_retry]);
    add(body, texts[names.cancel.empty() ? TextId::sentence_cancel_ends_by_place : TextId::sentence_cancel_ends]);
  }
  if (failure.runMayGoOn) add(body, texts[TextId::sentence_tool_may_run]);
  add(body, texts[StandingId(standing)]);
  own += " " + body;
  text += "\n" + Filled(body, names);
  if (failure.error && entry.windowsLine && !failure.errorText.empty())
    text += "\n\n" + failure.errorText + " (" + std::to_string(failure.error) + ")";
  const int ownLength = texts.CountsCharacters() ? CountCharacters(own) : CountWords(Filled(own, names));
  return {text, ownLength, offerRetry, entry.icon};
}

}  // namespace kestrane
