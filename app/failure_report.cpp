#include "app/failure_report.h"

#include "app/action_progress.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"

namespace kestrane {
namespace {

// Only the restore of "l2.ini" rewrites a file where it stands.
constexpr std::string_view kMayBeDamaged =
    "l2.ini may be damaged: it was being rewritten when this happened. Retry puts it right; otherwise Kestrane's "
    "next start puts it back from l2.bak.";

// The stored settings go back before the report, so that the box can say where they stand.
void PutStoredSettingsBack(Failure& failure, bool clientStarted) {
  const std::string started = clientStarted ? "" : "The client was not started. ";
  Form1.EnterStep(ActionStep::Restoring);
  if (const OpResult restore = RestoreSettingsFromBackup(Form1.Platform())) {
    failure.advice = started + "l2.ini could not be put back from l2.bak (Windows error " +
                     std::to_string(restore->error) + "); Kestrane puts it back the next time it starts.";
    return;
  }
  Form1.EnterStep(ActionStep::Settled);
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

std::string RetryAdvice(FailureKind kind) {
  std::string advice;
  switch (kind) {
    case FailureKind::InUse:
      advice = "Another program holds the file: close it (the game client, or wait for a virus scanner), then press Retry.";
      break;
    case FailureKind::AccessDenied:
      advice = "The file or its folder is write-protected: clear the file's read-only mark (Properties), or, for a "
               "game installed under Program Files, start Kestrane as administrator or move the game to a folder "
               "of your own; then press Retry.";
      break;
    case FailureKind::DiskFull: advice = "The disk is full: free some space, then press Retry."; break;
    case FailureKind::NotFound:
    case FailureKind::AlreadyExists:
    case FailureKind::Other: advice = "Retry once the file is free (close the game client if it runs)."; break;
  }
  return advice + " Cancel ends Kestrane; l2.bak is kept, and Kestrane's next start puts the settings back.";
}

// "l2.bak" is never touched on the way out, so the next start-up restores from it.
void StopWithFailure(Failure failure) {
  switch (Form1.Step()) {
    case ActionStep::ToolRuns: PutStoredSettingsBack(failure, false); break;
    case ActionStep::ClientStarted: PutStoredSettingsBack(failure, true); break;
    case ActionStep::Restoring:   // the restore itself failed, and the player has been asked
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

OpResult FileStep(PlatformOps& platform, const std::function<OpResult()>& step) {
  for (;;) {
    OpResult failure = RetryWhileInUse(platform, step);
    if (!failure) return std::nullopt;
    Failure asked = *failure;
    asked.advice = (failure->mayBeDamaged ? std::string(kMayBeDamaged) + " " : "") + RetryAdvice(failure->kind);
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
