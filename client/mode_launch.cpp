#include "client/mode_launch.h"

#include <string>

#include "app/action_progress.h"
#include "app/failure_report.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"
#include "client/client_folder.h"

namespace kestrane {

// A start that fails is the interpreter's (missing, or refused by a policy or a virus
// scanner), the client's demand, or the program's.
Box WhyNotStarted(const Failure& failure, std::string_view commandLine) {
  if (failure.operation == Operation::FindInterpreter) return Box::NoInterpreter;
  if (StartsInterpreter(commandLine)) {
    const bool missing = failure.kind == FailureKind::NotFound;
    return missing ? Box::NoInterpreter : Box::InterpreterRefused;
  }
  if (failure.kind == FailureKind::NeedsElevation) return Box::NeedsElevation;
  return Box::ProgramNotStarted;
}

namespace {

// One run of the settings tool and the file it is to write.
struct ToolRun {
  std::string_view commandLine;
  Box failed;  // what the player is told when it fails
  std::string_view output;
  RunId id = RunId::None;
  std::int64_t startedMs = 0;
  std::optional<FileStamp> outputBefore;
};

Failure RunFailure(PlatformOps& platform, std::string_view commandLine, Box box,
                   std::optional<std::uint32_t> exitCode = std::nullopt) {
  Failure failure{Operation::Start, {{Detail::CommandLine, std::string(commandLine)}}};
  if (exitCode) failure.details.emplace_back(Detail::ExitCode, std::to_string(*exitCode));
  failure.details.emplace_back(Detail::Folder, platform.AppFolder());
  failure.box = box;
  return failure;
}

// A virus scanner looking at a program file makes its start fail as in use for a moment.
RunId StartWhileInUse(PlatformOps& platform, std::string_view commandLine, Containment containment) {
  StartResult started;
  OpResult failure = RetryWhileInUse(platform, [&] {
    started = platform.StartProgram(commandLine, kShellWindowStyle, containment);
    return started.failure;
  });
  if (failure) failure->box = WhyNotStarted(*failure, commandLine);
  Must(failure);
  return started.run;
}

// The output's stamp; a query that cannot tell stops the mode, never passes for "no file".
std::optional<FileStamp> StampOfOutput(PlatformOps& platform, std::string_view output) {
  StampResult stamp;
  Must(RetryWhileInUse(platform, [&] {
    stamp = platform.StampOf(output);
    return stamp.failure;
  }));
  return stamp.stamp;
}

// From the first tool run on, any stop puts "l2.ini" back; from the encode on, it may hold
// what the tool wrote.
ToolRun StartTool(PlatformOps& platform, std::string_view commandLine, Box failed, std::string_view output) {
  ToolRun run{commandLine, failed, output};
  run.outputBefore = StampOfOutput(platform, output);
  run.startedMs = platform.NowMs();
  Form1.EnterStep(ActionStep::ToolRuns);
  if (output == kClientSettings) Form1.SetEncodeStarted();
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
    Failure failure = RunFailure(platform, run.commandLine, Box::ToolTimedOut);
    failure.runMayGoOn = !platform.StopRun(run.id);  // a late write must not land after the restore
    return failure;
  }
  // A stale, missing or empty output tells the same as an exit code that is not 0.
  const auto stamp = StampOfOutput(platform, run.output);
  if (*exitCode != 0 || !stamp || stamp == run.outputBefore || stamp->size == 0)
    return RunFailure(platform, run.commandLine, run.failed, exitCode);
  return std::nullopt;
}

// The client is started plainly and runs on after Kestrane ends.
RunId StartClient(PlatformOps& platform) {
  const RunId client = StartWhileInUse(platform, kClientCommand, Containment::Plain);
  Form1.EnterStep(ActionStep::ClientStarted);
  Form1.SetClientStarted();
  return client;
}

// A client that reads its settings late must still find the mode's: the restore waits
// until it has finished starting (a console client, or one that has ended, has nothing to
// wait for), up to kClientReadySeconds after its start.
bool AwaitClientReady(PlatformOps& platform, RunId client, std::int64_t startedMs) {
  return AwaitUntil(platform, startedMs, kClientReadySeconds,
                    [&] { return platform.ReadinessOf(client) != Readiness::Starting; });
}

Failure ClientNotReady(PlatformOps& platform) { return RunFailure(platform, kClientCommand, Box::ClientNotReady); }

// Start-up always takes a backup, so a missing one was deleted while the mode ran: the mode's
// settings stay, and the next start would keep them as the stored ones.
Failure BackupGoneAtTheRestore(PlatformOps& platform) {
  Failure failure{Operation::Copy, {{Detail::From, JoinPath(platform.AppFolder(), kSettingsBackup)},
                                    {Detail::To, JoinPath(platform.AppFolder(), kClientSettings)}}};
  failure.box = Box::BackupGoneAtRestore;
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
  Form1.SetModeRuns();
  Form1.EnterStep(ActionStep::Preparing);
  Must(CheckFolderBeforeTool(platform));
  Must(RemoveWorkFile(platform));  // an earlier run's copy must not pass for this one's
  const ToolRun decode = StartTool(platform, kDecodeCommand, Box::DecodeFailed, kWorkFile);
  WaitSeconds(kPauseAfterDecodeSeconds);
  Must(CheckToolRun(platform, decode));
  Must(PatchClientSettings(platform, profile));
  WaitSeconds(kPauseAfterPatchSeconds);
  const ToolRun encode = StartTool(platform, kEncodeCommand, Box::EncodeFailed, kClientSettings);
  WaitSeconds(kPauseAfterEncodeSeconds);
  Must(CheckToolRun(platform, encode));
  Form1.SetModeInSettings(true);
  const std::int64_t clientStartedMs = platform.NowMs();
  const RunId client = StartClient(platform);
  WaitSeconds(kPauseAfterClientSeconds);
  const bool ready = AwaitClientReady(platform, client, clientStartedMs);
  Form1.EnterStep(ActionStep::Restoring);
  RestoreOutcome restore;
  Must(RestoreSettingsFromBackup(platform, &restore));
  Form1.EnterStep(ActionStep::Settled);
  if (!restore.backupThere)
    StopWithFailure(BackupGoneAtTheRestore(platform),
                    SettingsFacts{.backup = Presence::Absent, .ini = IniState::Mode, .modeAction = true, .gameStarted = true});
  if (!ready)
    StopWithFailure(ClientNotReady(platform),
                    SettingsFacts{.backup = Presence::There, .ini = IniState::PutBack, .modeAction = true, .gameStarted = true});
  EndAction();
}

void GameModeClick() { RunModeSequence(GameProfile); }

void DevelopModeClick() { RunModeSequence(DevelopProfile); }

}  // namespace kestrane
