#include "app/failure_report.h"

#include "app/action_progress.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"
#include "client/client_folder.h"

namespace kestrane {
namespace {

// The stored settings go back before the report, so that the box can say where they stand.
Standing PutStoredSettingsBack(const Failure& failure, bool clientStarted) {
  Form1.EnterStep(ActionStep::Restoring);
  bool backupThere = true;
  if (RestoreSettingsFromBackup(Form1.Platform(), &backupThere)) return Standing::NotPutBack;
  Form1.EnterStep(ActionStep::Settled);
  if (!backupThere) return Standing::NoBackupAnyMore;
  if (failure.runMayGoOn) return Standing::PutBackToolMayRun;
  return clientStarted ? Standing::PutBack : Standing::PutBackNotStarted;
}

ButtonNames NamesOfButtons(PlatformOps& platform) {
  return {platform.ButtonName(BoxChoice::Retry), platform.ButtonName(BoxChoice::Close)};
}

}  // namespace

std::string DescribeFailure(const Failure& failure, Standing standing) {
  return ComposeBox(failure, standing, false, {}).text;
}

bool RetryCanMend(FailureKind kind) {
  return kind != FailureKind::PathTooLong && kind != FailureKind::NeedsElevation &&
         kind != FailureKind::FolderDenied && kind != FailureKind::FolderGuarded;
}

// Only what is so: a backup that is there, settings this action has or has not touched.
Standing WhereTheSettingsStand(PlatformOps& platform) {
  if (Form1.ActionRunning() && Form1.Step() == ActionStep::Preparing) return Standing::NothingChanged;
  const bool backup = platform.StampOf(kSettingsBackup).has_value();
  if (!Form1.SettingsMayBePatched()) {
    if (!backup) return Standing::IniNotChanged;
    // Start-up's restore refused: "l2.ini" may hold what an earlier run left in it.
    return Form1.Step() == ActionStep::Restoring ? Standing::IniMayDiffer : Standing::BackupKept;
  }
  if (!backup) return Standing::NoBackupModeMayStay;
  return Form1.ModeInSettings() ? Standing::ModeInIni : Standing::ModeMayBeInIni;
}

BoxChoice ShowFailure(PlatformOps& platform, const Failure& failure, Standing standing, bool offerRetry) {
  return platform.ShowErrorBox(ComposeBox(failure, standing, offerRetry, NamesOfButtons(platform)));
}

// "l2.bak" is never touched on the way out, so the next start-up restores from it.
void StopWithFailure(Failure failure, std::optional<Standing> standing) {
  switch (Form1.Step()) {
    case ActionStep::ToolRuns: standing = PutStoredSettingsBack(failure, false); break;
    case ActionStep::ClientStarted: standing = PutStoredSettingsBack(failure, true); break;
    case ActionStep::Restoring:   // the restore itself failed, and the player has been asked
    case ActionStep::Preparing:
    case ActionStep::Settled: break;
  }
  const bool newBackup = failure.box == Box::BackupNotTrue || failure.box == Box::BackupUnreadable;
  if (!standing && newBackup) standing = failure.removed ? Standing::BackupRemoved : Standing::BackupNotRemoved;
  if (!standing) standing = failure.mayBeDamaged ? Standing::Damaged : WhereTheSettingsStand(Form1.Platform());
  ShowProgressAs(ProgressState::Error);
  if (!failure.shown) ShowFailure(Form1.Platform(), failure, *standing, false);
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
  failure.box = Box::FromKind;
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
    // A cause Retry cannot mend is told once, by the stop that follows.
    if (!RetryCanMend(failure->kind)) return failure;
    const Standing onCancel = failure->mayBeDamaged ? Standing::Damaged : WhereTheSettingsStand(platform);
    ShowProgressAs(ProgressState::Error);
    const BoxChoice choice = ShowFailure(platform, *failure, onCancel, true);
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
