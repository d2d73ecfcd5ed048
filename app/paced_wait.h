#pragma once

namespace kestrane {

// Pauses for the given whole seconds while the window keeps handling its events.
void WaitSeconds(int seconds);
void Timer1Tick();

}  // namespace kestrane
