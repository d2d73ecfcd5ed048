#include "app/paced_wait.h"

#include "app/action_progress.h"
#include "app/main_window.h"

namespace kestrane {

namespace {

// The timer's interval doubles as the flag the loop waits on: the tick sets it to 0.
// DoEvents blocks until the next event (at least once a second), so the loop costs next to
// no processor time and can still move the progress along.
template <typename EachPass>
void Pause(std::int32_t milliseconds, EachPass eachPass) {
  auto& platform = Form1.Platform();
  platform.SetTimerInterval(milliseconds);
  platform.SetTimerEnabled(true);
  while (platform.TimerInterval() > 0) {
    platform.DoEvents();
    eachPass();
  }
  platform.SetTimerEnabled(false);
}

}  // namespace

// A planned pause of an action: its time shows as progress.
void WaitSeconds(int seconds) {
  auto& platform = Form1.Platform();
  const std::int32_t milliseconds = static_cast<std::int32_t>(seconds) * 1000;
  const std::int64_t started = platform.NowMs();
  Pause(milliseconds, [&] { ShowPauseProgress(milliseconds, platform.NowMs() - started); });
  CompletePauseProgress(milliseconds);
}

void WaitMilliseconds(std::int32_t milliseconds) {
  Pause(milliseconds, [] {});
}

// Stopping the timer makes the tick happen once per pause.
void Timer1Tick() { Form1.Platform().SetTimerInterval(0); }

}  // namespace kestrane
