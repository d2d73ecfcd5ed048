#include "app/failure_report.h"

#include "app/action_progress.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"
#include "client/client_folder.h"

namespace kestrane {
namespace {

// Only the restore of "l2.ini" rewrites a file where it stands.
constexpr std::string_view kMayBeDamaged =
    "l2.ini may be damaged: it was being rewritten when this happened. Retry puts it right; otherwise Kestrane's "
    "next start puts it back from l2.bak.";

// The stored settings go back before the report, so that the box can say where they stand.
void PutStoredSettingsBack(Failure& failure, bool clientStarted) {
  const std::string started =
      (failure.advice.empty() ? "" : failure.advice + " ") + (clientStarted ? "" : "The client was not started. ");
  Form1.EnterStep(ActionStep::Restoring);
  bool backupThere = true;
  if (const OpResult restore = RestoreSettingsFromBackup(Form1.Platform(), &backupThere)) {
    failure.advice = started + "l2.ini could not be put back from l2.bak (Windows error " +
                     std::to_string(restore->error) + "); Kestrane puts it back the next time it starts.";
    return;
  }
  Form1.EnterStep(ActionStep::Settled);
  if (!backupThere) {
    failure.advice = started + "There is no l2.bak any more, so l2.ini could not be put back and may not hold "
                               "your stored settings.";
    return;
  }
  if (failure.runMayGoOn)
    failure.advice = started + "l2.ini was put back from l2.bak, but the settings tool could not be ended for "
                               "certain and may still change it: end l2encdec.exe (Task Manager) before you start "
                               "the game; Kestrane's next start puts the settings back again.";
  else
    failure.advice = started + "l2.ini was put back from l2.bak: your settings are as they were.";
}

}  // namespace

std::string DescribeFailure(const Failure& failure) {
  std::string text = failure.summary + "\n\n";
  for (const auto& [label, value] : failure.details) text += label + ": " + value + "\n";
  if (failure.error) text += "\nWindows error " + std::to_string(failure.error) + ": " + failure.errorText + "\n";
  if (!failure.advice.empty()) text += "\n" + failure.advice + "\n";
  while (text.ends_with('\n')) text.pop_back();
  return text;
}

std::string WayOut(FailureKind kind) {
  switch (kind) {
    case FailureKind::InUse:
      return "Another program holds the file: close it (the game client, or wait for a virus scanner)";
    case FailureKind::AccessDenied:
      return "The file is write-protected: clear its read-only mark (right-click it, Properties) or give yourself "
             "the right to change it";
    case FailureKind::DiskFull: return "The disk is full: free some space";
    case FailureKind::DriveGone: return "The drive or network folder is not reachable: reconnect it";
    case FailureKind::QuotaExceeded: return "Your disk quota is used up: free some of your space";
    case FailureKind::MediaWriteProtected:
      return "The disk is write-protected: unlock it (a memory card or USB stick may have a lock switch)";
    case FailureKind::PathTooLong:
      return "Move the game to a folder with a shorter path, such as C:\\Games, and start Kestrane there.";
    case FailureKind::NeedsElevation:
      return "The game client asks for administrator rights: start Kestrane as administrator (right-click "
             "Kestrane.exe, Run as administrator), so that it can start the client.";
    case FailureKind::FolderDenied:
      return "Kestrane, the settings tool and the client must write in the game's folder (Windows allows that "
             "under Program Files only to administrators). Move the game to a folder of your own, such as "
             "C:\\Games, and start Kestrane there; or start Kestrane as administrator (right-click Kestrane.exe, "
             "Run as administrator).";
    case FailureKind::FolderGuarded:
      return "Windows Security's ransomware protection (Controlled folder access) blocks new files here. In Windows "
             "Security, Virus & threat protection, Ransomware protection, allow Kestrane.exe, l2encdec.exe and "
             "l2.exe through Controlled folder access; or move the game to a folder outside Documents and the "
             "Desktop, such as C:\\Games.";
    case FailureKind::NotFound:
    case FailureKind::AlreadyExists:
    case FailureKind::Other: return "Retry once the file is free (close the game client if it runs)";
  }
  return {};
}

bool RetryCanMend(FailureKind kind) {
  return kind != FailureKind::PathTooLong && kind != FailureKind::NeedsElevation &&
         kind != FailureKind::FolderDenied && kind != FailureKind::FolderGuarded;
}

std::string RetryAdvice(FailureKind kind) {
  switch (kind) {
    case FailureKind::NotFound:
    case FailureKind::AlreadyExists:
    case FailureKind::Other: return WayOut(kind) + ".";
    default: return WayOut(kind) + ", then press Retry.";
  }
}

// Only what is so: a backup that is there, settings this action has not touched.
std::string WhereTheSettingsStand(PlatformOps& platform) {
  if (Form1.ActionRunning() && Form1.Step() == ActionStep::Preparing)
    return "Nothing was changed, and the game client was not started.";
  if (platform.StampOf(kSettingsBackup)) return "l2.bak is kept, and Kestrane's next start puts the settings back from it.";
  if (!Form1.SettingsMayBePatched()) return "l2.ini was not changed.";
  return "There is no l2.bak, so l2.ini may keep the mode's settings.";
}

// "l2.bak" is never touched on the way out, so the next start-up restores from it.
void StopWithFailure(Failure failure) {
  switch (Form1.Step()) {
    case ActionStep::ToolRuns: PutStoredSettingsBack(failure, false); break;
    case ActionStep::ClientStarted: PutStoredSettingsBack(failure, true); break;
    case ActionStep::Restoring:   // the restore itself failed, and the player has been asked
    case ActionStep::Preparing:
    case ActionStep::Settled: break;
  }
  ShowProgressAs(ProgressState::Error);
  if (!failure.shown) Form1.Platform().ShowErrorBox(DescribeFailure(failure), false);
  EndAction(1);
}

void Must(const OpResult& result) {
  if (result) StopWithFailure(*result);
}

// A virus scanner, an indexer or the client itself often holds a file for a moment.
OpResult RetryWhileInUse(PlatformOps& platform, const std::function<OpResult()>& step) {
  const std::int64_t started = platform.NowMs();
  for (;;) {
    OpResult failure = step();
    if (!failure || failure->kind != FailureKind::InUse || platform.NowMs() - started >= kInUseRetryMilliseconds)
      return failure;
    WaitMilliseconds(kInUseRetryStepMilliseconds);
  }
}

namespace {

// Access denied or not found on a file may be the folder's refusal, which calls for other advice.
bool MayBeTheFolders(FailureKind kind) { return kind == FailureKind::AccessDenied || kind == FailureKind::NotFound; }

// The box then names the folder's cause, and still the file the step was on.
void TakeTheFoldersCause(Failure& failure, const Failure& folder) {
  failure.summary = folder.summary;
  failure.error = folder.error;
  failure.errorText = folder.errorText;
  failure.kind = folder.kind;
  failure.details.insert(failure.details.begin(), folder.details.begin(), folder.details.end());
}

}  // namespace

OpResult FileStep(PlatformOps& platform, const std::function<OpResult()>& step) {
  for (;;) {
    OpResult failure = RetryWhileInUse(platform, step);
    if (!failure) return std::nullopt;
    if (MayBeTheFolders(failure->kind))
      if (const std::optional<Failure> folder = FolderRefusal(platform)) TakeTheFoldersCause(*failure, *folder);
    const std::string damaged = failure->mayBeDamaged ? std::string(kMayBeDamaged) + " " : "";
    if (!RetryCanMend(failure->kind)) {
      // A stop after a tool run puts the settings back and says so itself.
      const ActionStep at = Form1.Step();
      const bool stopRestores = Form1.ActionRunning() && (at == ActionStep::ToolRuns || at == ActionStep::ClientStarted);
      failure->advice = damaged + WayOut(failure->kind) + (stopRestores ? "" : " " + WhereTheSettingsStand(platform));
      return failure;
    }
    Failure asked = *failure;
    asked.advice = damaged + RetryAdvice(failure->kind) + " Cancel ends Kestrane. " + WhereTheSettingsStand(platform);
    ShowProgressAs(ProgressState::Error);
    const BoxChoice choice = platform.ShowErrorBox(DescribeFailure(asked), true);
    ShowProgressAs(ProgressState::Normal);
    if (choice != BoxChoice::Retry) {
      failure->shown = true;
      return failure;
    }
  }
}

OpResult ExistsStep(PlatformOps& platform, std::string_view path, bool& exists) {
  return FileStep(platform, [&] {
    ExistsResult found = platform.FileExists(path);
    exists = found.exists;
    return found.failure;
  });
}

OpResult ReadStep(PlatformOps& platform, std::string_view path, std::string& bytes) {
  return FileStep(platform, [&] {
    ReadResult read = platform.ReadBytes(path);
    bytes = std::move(read.bytes);
    return read.failure;
  });
}

}  // namespace kestrane
