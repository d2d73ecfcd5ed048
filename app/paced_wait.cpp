#include "app/paced_wait.h"

#include <cstdint>

#include "app/main_window.h"

namespace kestrane {

// The timer's interval doubles as the flag the loop waits on: the tick sets it to 0.
// DoEvents blocks until the next event, so the loop costs next to no processor time.
void WaitSeconds(int seconds) {
  auto& platform = Form1.Platform();
  platform.SetTimerInterval(static_cast<std::int32_t>(seconds) * 1000);
  platform.SetTimerEnabled(true);
  while (platform.TimerInterval() > 0) platform.DoEvents();
  platform.SetTimerEnabled(false);
}

// Stopping the timer makes the tick happen once per pause.
void Timer1Tick() { Form1.Platform().SetTimerInterval(0); }

}  // namespace kestrane
