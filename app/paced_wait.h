#pragma once

#include <cstdint>

namespace kestrane {

// Pauses for the given whole seconds while the window keeps handling its events.
void WaitSeconds(int seconds);
// The same pause, for the short steps of a wait on another program.
void WaitMilliseconds(std::int32_t milliseconds);
void Timer1Tick();

}  // namespace kestrane
