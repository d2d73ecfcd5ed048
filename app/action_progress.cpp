#include "app/action_progress.h"

#include "app/main_window.h"

namespace kestrane {

// Only the planned pauses count as progress; waits beyond them show as busy instead.
void ShowPauseProgress(std::int64_t pauseMs, std::int64_t intoPauseMs) {
  if (!Form1.ActionRunning()) return;
  const std::int64_t into = intoPauseMs < pauseMs ? intoPauseMs : pauseMs;
  Form1.Platform().ShowProgress(ProgressState::Normal, Form1.PassedMs() + into, Form1.PlannedMs());
}

void CompletePauseProgress(std::int64_t pauseMs) {
  if (!Form1.ActionRunning()) return;
  Form1.SetProgress(Form1.PlannedMs(), Form1.PassedMs() + pauseMs);
  ShowProgressAs(ProgressState::Normal);
}

void ShowProgressAs(ProgressState state) {
  if (!Form1.ActionRunning()) return;
  Form1.Platform().ShowProgress(state, Form1.PassedMs(), Form1.PlannedMs());
}

}  // namespace kestrane
