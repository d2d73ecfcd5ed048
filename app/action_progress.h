#pragma once

#include <cstdint>

#include "platform/platform_ops.h"

namespace kestrane {

// The taskbar progress of the running action: the planned pauses as they pass. Each does
// nothing while no action runs.
void ShowPauseProgress(std::int64_t pauseMs, std::int64_t intoPauseMs);
void CompletePauseProgress(std::int64_t pauseMs);
void ShowProgressAs(ProgressState state);

}  // namespace kestrane
