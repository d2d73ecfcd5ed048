#include "app/failure_report.h"

#include "app/action_progress.h"
#include "app/main_window.h"
#include "app/paced_wait.h"

namespace kestrane {

std::string DescribeFailure(const Failure& failure) {
  std::string text = failure.summary + "\n\n";
  for (const auto& [label, value] : failure.details) text += label + ": " + value + "\n";
  if (failure.error) text += "\nWindows error " + std::to_string(failure.error) + ": " + failure.errorText + "\n";
  if (!failure.advice.empty()) text += "\n" + failure.advice + "\n";
  while (text.ends_with('\n')) text.pop_back();
  return text;
}

// "l2.bak" is never touched on the way out, so the next start-up restores from it.
void StopWithFailure(const Failure& failure) {
  auto& platform = Form1.Platform();
  ShowProgressAs(ProgressState::Error);
  if (!failure.shown) platform.ShowErrorBox(DescribeFailure(failure), false);
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
    if (!failure || !failure->inUse || platform.NowMs() - started >= kInUseRetryMilliseconds) return failure;
    WaitMilliseconds(kInUseRetryStepMilliseconds);
  }
}

OpResult FileStep(PlatformOps& platform, const std::function<OpResult()>& step) {
  for (;;) {
    OpResult failure = RetryWhileInUse(platform, step);
    if (!failure) return std::nullopt;
    Failure asked = *failure;
    asked.advice = "Retry once the file is free (close the game client if it runs). Cancel ends Kestrane; "
                   "l2.bak is kept, and Kestrane's next start puts the settings back.";
    ShowProgressAs(ProgressState::Error);
    const BoxChoice choice = platform.ShowErrorBox(DescribeFailure(asked), true);
    ShowProgressAs(ProgressState::Normal);
    if (choice != BoxChoice::Retry) {
      failure->shown = true;
      return failure;
    }
  }
}

}  // namespace kestrane
