#include "app/failure_report.h"

#include <cstdlib>

#include "app/main_window.h"

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
  platform.ShowErrorBox(DescribeFailure(failure), false);
  platform.EndProgram(1);
  std::abort();  // not reached: the compiler cannot see through the virtual call that it ends
}

void Must(const OpResult& result) {
  if (result) StopWithFailure(*result);
}

}  // namespace kestrane
