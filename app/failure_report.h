#pragma once

#include <string>

#include "platform/platform_ops.h"

namespace kestrane {

// The error box's text: the summary, the details, the system's error, what to do.
std::string DescribeFailure(const Failure& failure);
// Reports the failure and ends the program: the one place that does both.
[[noreturn]] void StopWithFailure(const Failure& failure);
// Goes on when the step succeeded, else stops with its failure.
void Must(const OpResult& result);

}  // namespace kestrane
