#include "app/failure_report.h"

#include "app/action_progress.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"
#include "client/client_folder.h"

namespace kestrane {
namespace {

IniState IniStateNow() {
  if (!Form1.ActionRunning()) return Form1.Step() == ActionStep::Restoring ? IniState::EarlierRunMay : IniState::Untouched;
  if (!Form1.ModeRuns() || !Form1.EncodeStarted() || !Form1.SettingsMayBePatched()) return IniState::Untouched;
  return Form1.ModeInSettings() ? IniState::Mode : IniState::ToolMay;
}

// What the action itself knows, without asking Windows.
SettingsFacts KnownFacts(const Failure& failure) {
  SettingsFacts facts;
  facts.modeAction = Form1.ModeRuns();
  facts.gameStarted = Form1.ModeRuns() && Form1.ClientStarted();
  facts.ini = failure.mayBeDamaged ? IniState::Damaged : IniStateNow();
  return facts;
}

Presence BackupPresence(PlatformOps& platform) {
  bool there = false;
  const OpResult failure = RetryWhileInUse(platform, [&] {
    ExistsResult found = platform.FileExists(kSettingsBackup);
    there = found.exists;
    return found.failure;
  });
  if (failure) return Presence::Unknown;
  return there ? Presence::There : Presence::Absent;
}

// The stored settings go back before the report, so that the box can say where they stand.
SettingsFacts PutStoredSettingsBack(const Failure& failure) {
  SettingsFacts facts = KnownFacts(failure);
  Form1.EnterStep(ActionStep::Restoring);
  RestoreOutcome restore;
  const OpResult refused = RestoreSettingsFromBackup(Form1.Platform(), &restore);
  // Before the encode only a tool that broke its word changes "l2.ini": where it differed
  // from "l2.bak", it may hold what the tool wrote.
  if (restore.differed && facts.ini == IniState::Untouched) facts.ini = IniState::ToolMay;
  if (refused) {
    if (refused->mayBeDamaged) facts.ini = IniState::Damaged;
    facts.backup = BackupPresence(Form1.Platform());
    return facts;
  }
  Form1.EnterStep(ActionStep::Settled);
  facts.backup = restore.backupThere ? Presence::There : Presence::Absent;
  // A tool that may still run may write again after the restore.
  if (restore.backupThere && facts.ini != IniState::Untouched)
    facts.ini = failure.runMayGoOn ? IniState::ToolMay : IniState::PutBack;
  return facts;
}

// As Windows captions them; where it does not say, as that language's Windows does, if
// Kestrane speaks the player's language; else by their place.
ButtonNames NamesOfButtons(PlatformOps& platform, const Texts& texts) {
  ButtonNames names{platform.ButtonName(BoxChoice::Retry), platform.ButtonName(BoxChoice::Close)};
  if (texts.SpeaksTheDisplayLanguage()) {
    if (names.retry.empty()) names.retry = texts[TextId::button_retry];
    if (names.cancel.empty()) names.cancel = texts[TextId::button_cancel];
  }
  return names;
}

}  // namespace

std::string DescribeFailure(const Failure& failure, Standing standing) {
  return ComposeBox(failure, standing, RetryOffer::No, {}).text;
}

// Only what is so: a backup that is there, settings this action has or has not touched.
SettingsFacts FactsNow(PlatformOps& platform, const Failure& failure) {
  SettingsFacts facts = KnownFacts(failure);
  facts.backup = BackupPresence(platform);
  return facts;
}

BoxChoice ShowFailure(PlatformOps& platform, const Failure& failure, Standing standing, RetryOffer retry) {
  const Texts& texts = Form1.Language();
  return platform.ShowErrorBox(ComposeBox(failure, standing, retry, NamesOfButtons(platform, texts), texts));
}

// "l2.bak" is never touched on the way out, so the next start-up restores from it.
void StopWithFailure(Failure failure, std::optional<SettingsFacts> facts) {
  switch (Form1.Step()) {
    case ActionStep::ToolRuns:
    case ActionStep::ClientStarted: facts = PutStoredSettingsBack(failure); break;
    case ActionStep::Restoring:   // the restore itself failed, and the player has been asked
    case ActionStep::Preparing:
    case ActionStep::Settled: break;
  }
  ShowProgressAs(ProgressState::Error);
  if (!failure.shown) {
    Standing standing{};
    if (failure.box == Box::BackupNotTrue || failure.box == Box::BackupUnreadable)
      standing = failure.removed ? Standing::BackupRemoved : Standing::BackupNotRemoved;
    else
      standing = StandingFrom(facts ? *facts : FactsNow(Form1.Platform(), failure));
    ShowFailure(Form1.Platform(), failure, standing, RetryOffer::No);
  }
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
    if (!RetryMayMend(*failure)) return failure;
    const Standing onCancel = StandingFrom(FactsNow(platform, *failure));
    ShowProgressAs(ProgressState::Error);
    const BoxChoice choice = ShowFailure(platform, *failure, onCancel, RetryOffer::Yes);
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
