#include "app/paced_wait.h"

#include "app/main_window.h"

namespace kestrane {

void WaitSeconds(int seconds) { WaitMilliseconds(static_cast<std::int32_t>(seconds) * 1000); }

// The timer's interval doubles as the flag the loop waits on: the tick sets it to 0.
// DoEvents blocks until the next event, so the loop costs next to no processor time.
void WaitMilliseconds(std::int32_t milliseconds) {
  auto& platform = Form1.Platform();
  platform.SetTimerInterval(milliseconds);
  platform.SetTimerEnabled(true);
  while (platform.TimerInterval() > 0) platform.DoEvents();
  platform.SetTimerEnabled(false);
}

// Stopping the timer makes the tick happen once per pause.
void Timer1Tick() { Form1.Platform().SetTimerInterval(0); }

}  // namespace kestrane
