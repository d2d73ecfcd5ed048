#include "client/mode_launch.h"

#include <string>

#include "app/action_progress.h"
#include "app/failure_report.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"
#include "client/client_folder.h"

namespace kestrane {
namespace {

// One run of the settings tool and the file it is to write.
struct ToolRun {
  std::string_view commandLine;
  std::string_view summary;  // what the player is told when it fails
  std::string_view output;
  RunId id = RunId::None;
  std::int64_t startedMs = 0;
  std::optional<FileStamp> outputBefore;
};

constexpr std::string_view kEncodeFailed = "The settings tool could not encode temp.dat into l2.ini.";

Failure RunFailure(PlatformOps& platform, std::string_view commandLine, std::string_view summary,
                   std::vector<std::pair<std::string, std::string>> more) {
  Failure failure{std::string(summary), {{"Command line", std::string(commandLine)}}};
  failure.details.insert(failure.details.end(), more.begin(), more.end());
  failure.details.emplace_back("Folder", platform.AppFolder());
  return failure;
}

// A virus scanner looking at a program file makes its start fail as in use for a moment.
RunId StartWhileInUse(PlatformOps& platform, std::string_view commandLine, Containment containment) {
  StartResult started;
  OpResult failure = RetryWhileInUse(platform, [&] {
    started = platform.StartProgram(commandLine, kShellWindowStyle, containment);
    return started.failure;
  });
  if (failure && failure->kind == FailureKind::NeedsElevation) failure->advice = WayOut(FailureKind::NeedsElevation);
  Must(failure);
  return started.run;
}

// From the first tool run on, "l2.ini" may change under the sequence: any stop puts it back.
ToolRun StartTool(PlatformOps& platform, std::string_view commandLine, std::string_view summary,
                  std::string_view output) {
  ToolRun run{commandLine, summary, output};
  run.outputBefore = platform.StampOf(output);
  run.startedMs = platform.NowMs();
  Form1.EnterStep(ActionStep::ToolRuns);
  run.id = StartWhileInUse(platform, commandLine, Containment::Contained);
  Form1.SetActiveRun(run.id);
  return run;
}

// A planned pause is a minimum: what is still not done afterwards is waited for, in short
// steps of the same paced wait, until boundSeconds after it started. True once done.
template <typename Done>
bool AwaitUntil(PlatformOps& platform, std::int64_t startedMs, int boundSeconds, Done done) {
  for (bool waited = false;; waited = true) {
    if (done()) {
      if (waited) ShowProgressAs(ProgressState::Normal);
      return true;
    }
    if (platform.NowMs() - startedMs >= std::int64_t{boundSeconds} * 1000) return false;
    if (!waited) ShowProgressAs(ProgressState::Waiting);
    WaitMilliseconds(kToolPollMilliseconds);
  }
}

// The run counts only when it ended well and rewrote its output with something: a stale,
// missing or empty file never passes for its work.
OpResult CheckToolRun(PlatformOps& platform, const ToolRun& run) {
  std::optional<std::uint32_t> exitCode;
  AwaitUntil(platform, run.startedMs, kToolTimeoutSeconds, [&] { return (exitCode = platform.ExitCodeOf(run.id)).has_value(); });
  Form1.SetActiveRun(RunId::None);
  if (!exitCode) {
    Failure failure = RunFailure(platform, run.commandLine,
                                 "The settings tool did not finish within " + std::to_string(kToolTimeoutSeconds) +
                                     " seconds.",
                                 {});
    failure.runMayGoOn = !platform.StopRun(run.id);  // a late write must not land after the restore
    return failure;
  }
  const std::pair<std::string, std::string> code{"Exit code", std::to_string(*exitCode)};
  if (*exitCode != 0) return RunFailure(platform, run.commandLine, run.summary, {code});
  const auto stamp = platform.StampOf(run.output);
  const std::string name(run.output);
  if (!stamp) return RunFailure(platform, run.commandLine, run.summary, {code, {"Problem", name + " was not written"}});
  if (stamp == run.outputBefore)
    return RunFailure(platform, run.commandLine, run.summary, {code, {"Problem", name + " was not rewritten"}});
  if (stamp->size == 0) return RunFailure(platform, run.commandLine, run.summary, {code, {"Problem", name + " is empty"}});
  return std::nullopt;
}

// The client is started plainly and runs on after Kestrane ends.
RunId StartClient(PlatformOps& platform) {
  const RunId client = StartWhileInUse(platform, kClientCommand, Containment::Plain);
  Form1.EnterStep(ActionStep::ClientStarted);
  return client;
}

// A client that reads its settings late must still find the mode's: the restore waits
// until it has finished starting (a console client, or one that has ended, has nothing to
// wait for), up to kClientReadySeconds after its start.
bool AwaitClientReady(PlatformOps& platform, RunId client, std::int64_t startedMs) {
  return AwaitUntil(platform, startedMs, kClientReadySeconds,
                    [&] { return platform.ReadinessOf(client) != Readiness::Starting; });
}

Failure ClientNotReady(PlatformOps& platform) {
  Failure failure = RunFailure(platform, kClientCommand,
                               "The game client had not finished starting within " +
                                   std::to_string(kClientReadySeconds) + " seconds.",
                               {});
  failure.advice = "l2.ini was put back from l2.bak all the same, so this start of the client may not use the mode's "
                   "settings. If it does not, close the client and try again.";
  return failure;
}

// Start-up always takes a backup, so a missing one was deleted while the mode ran: the mode's
// settings stay, and the next start would keep them as the stored ones.
Failure BackupGoneAtTheRestore(PlatformOps& platform) {
  Failure failure{"l2.bak was gone when Kestrane was to put the settings back.",
                  {{"Files", "l2.ini, l2.bak"}, {"Folder", platform.AppFolder()}}};
  failure.advice = "l2.ini keeps the mode's settings, and Kestrane's next start takes a new backup from l2.ini as it "
                   "is then. If you have a copy of your own l2.ini, put it back first (with the client closed), or "
                   "let the game's updater repair l2.ini.";
  return failure;
}

}  // namespace

// The fixed pauses give the tool and the client their time; each step's outcome is checked
// before the next builds on it, and the last step restores the stored settings so the mode
// holds for one start only.
void RunModeSequence(const ModeProfile& profile) {
  if (!BeginAction(kModePlannedSeconds)) return;
  auto& platform = Form1.Platform();
  SetButtonsEnabled(false);
  Form1.EnterStep(ActionStep::Preparing);
  Must(CheckFolderBeforeTool(platform));
  Must(RemoveWorkFile(platform));  // an earlier run's copy must not pass for this one's
  const ToolRun decode = StartTool(platform, kDecodeCommand, kDecodeFailed, kWorkFile);
  WaitSeconds(5);
  Must(CheckToolRun(platform, decode));
  Must(PatchClientSettings(platform, profile));
  WaitSeconds(3);
  const ToolRun encode = StartTool(platform, kEncodeCommand, kEncodeFailed, kClientSettings);
  WaitSeconds(3);
  Must(CheckToolRun(platform, encode));
  const std::int64_t clientStartedMs = platform.NowMs();
  const RunId client = StartClient(platform);
  WaitSeconds(5);
  const bool ready = AwaitClientReady(platform, client, clientStartedMs);
  Form1.EnterStep(ActionStep::Restoring);
  bool backupThere = false;
  Must(RestoreSettingsFromBackup(platform, &backupThere));
  Form1.EnterStep(ActionStep::Settled);
  if (!backupThere) StopWithFailure(BackupGoneAtTheRestore(platform));
  if (!ready) StopWithFailure(ClientNotReady(platform));
  EndAction();
}

void GameModeClick() { RunModeSequence(GameProfile); }

void DevelopModeClick() { RunModeSequence(DevelopProfile); }

}  // namespace kestrane
