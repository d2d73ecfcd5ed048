#include "client/mode_launch.h"

#include <string>

#include "app/failure_report.h"
#include "app/action_progress.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"

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

constexpr std::string_view kDecodeFailed = "The settings tool could not decode l2.ini.";
constexpr std::string_view kEncodeFailed = "The settings tool could not encode temp.dat into l2.ini.";

// Any stop before the client's start first puts the stored settings back, since "l2.ini"
// may hold a half-written encode; the client is never started after a failed step.
[[noreturn]] void StopSequence(Failure failure) {
  if (const OpResult restore = RestoreSettingsFromBackup(Form1.Platform())) {
    failure.advice = "The client was not started. l2.ini could not be put back from l2.bak (Windows error " +
                     std::to_string(restore->error) + "); Kestrane puts it back the next time it starts.";
  } else {
    failure.advice = "The client was not started, and l2.ini was put back from l2.bak: your settings are as they were.";
  }
  StopWithFailure(failure);
}

void StopSequenceOnFailure(const OpResult& result) {
  if (result) StopSequence(*result);
}

Failure ToolFailure(PlatformOps& platform, const ToolRun& run, std::string_view summary,
                    std::vector<std::pair<std::string, std::string>> more) {
  Failure failure{std::string(summary), {{"Command line", std::string(run.commandLine)}}};
  failure.details.insert(failure.details.end(), more.begin(), more.end());
  failure.details.emplace_back("Folder", platform.AppFolder());
  return failure;
}

ToolRun StartTool(PlatformOps& platform, std::string_view commandLine, std::string_view summary,
                  std::string_view output) {
  ToolRun run{commandLine, summary, output};
  run.outputBefore = platform.StampOf(output);
  run.startedMs = platform.NowMs();
  const StartResult started = platform.StartProgram(commandLine, kShellWindowStyle);
  StopSequenceOnFailure(started.failure);
  run.id = started.run;
  Form1.SetActiveRun(run.id);
  return run;
}

// The pause is a minimum: a run still going afterwards is waited for, in short steps of
// the same paced wait, until kToolTimeoutSeconds after its start.
std::optional<std::uint32_t> AwaitRun(PlatformOps& platform, const ToolRun& run) {
  for (bool waited = false;; waited = true) {
    if (const auto exitCode = platform.ExitCodeOf(run.id)) {
      if (waited) ShowProgressAs(ProgressState::Normal);
      return exitCode;
    }
    if (platform.NowMs() - run.startedMs >= kToolTimeoutSeconds * 1000) return std::nullopt;
    if (!waited) ShowProgressAs(ProgressState::Waiting);
    WaitMilliseconds(kToolPollMilliseconds);
  }
}

// The run counts only when it ended well and rewrote its output with something: a stale,
// missing or empty file never passes for its work.
OpResult CheckToolRun(PlatformOps& platform, const ToolRun& run) {
  const auto exitCode = AwaitRun(platform, run);
  Form1.SetActiveRun(RunId::None);
  if (!exitCode) {
    platform.StopRun(run.id);  // a late write must not land after the restore
    return ToolFailure(platform, run,
                       "The settings tool did not finish within " + std::to_string(kToolTimeoutSeconds) + " seconds.",
                       {});
  }
  const std::pair<std::string, std::string> code{"Exit code", std::to_string(*exitCode)};
  if (*exitCode != 0) return ToolFailure(platform, run, run.summary, {code});
  const auto stamp = platform.StampOf(run.output);
  const std::string name(run.output);
  if (!stamp) return ToolFailure(platform, run, run.summary, {code, {"Problem", name + " was not written"}});
  if (stamp == run.outputBefore)
    return ToolFailure(platform, run, run.summary, {code, {"Problem", name + " was not rewritten"}});
  if (stamp->size == 0) return ToolFailure(platform, run, run.summary, {code, {"Problem", name + " is empty"}});
  return std::nullopt;
}

}  // namespace

// The fixed pauses give the tool and the client their time; each step's outcome is checked
// before the next builds on it, and the last step restores the stored settings so the mode
// holds for one start only.
void RunModeSequence(const ModeProfile& profile) {
  if (!BeginAction(kModePlannedSeconds)) return;
  auto& platform = Form1.Platform();
  SetButtonsEnabled(false);
  StopSequenceOnFailure(RemoveWorkFile(platform));  // an earlier run's copy must not pass for this one's
  const ToolRun decode = StartTool(platform, kDecodeCommand, kDecodeFailed, kWorkFile);
  WaitSeconds(5);
  StopSequenceOnFailure(CheckToolRun(platform, decode));
  StopSequenceOnFailure(PatchClientSettings(platform, profile));
  WaitSeconds(3);
  const ToolRun encode = StartTool(platform, kEncodeCommand, kEncodeFailed, kClientSettings);
  WaitSeconds(3);
  StopSequenceOnFailure(CheckToolRun(platform, encode));
  StopSequenceOnFailure(platform.StartProgram(kClientCommand, kShellWindowStyle).failure);
  WaitSeconds(5);
  Must(RestoreSettingsFromBackup(platform));
  EndAction();
}

void GameModeClick() { RunModeSequence(GameProfile); }

void DevelopModeClick() { RunModeSequence(DevelopProfile); }

}  // namespace kestrane
