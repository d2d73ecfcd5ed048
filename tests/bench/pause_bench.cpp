// Measures the real paced wait on the real window: the pauses of one mode run, each
// against its nominal length, and the process time they cost. Run on demand by
// scripts/benchmark.sh; not a test.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "app/main_window.h"
#include "app/paced_wait.h"
#include "app/win32_form.h"

namespace {

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

}  // namespace

int main() {
  kestrane::Win32PlatformOps platform;
  kestrane::Form1.Bind(platform);
  kestrane::Win32Form form(platform);
  if (!form.Create(GetModuleHandleW(nullptr))) return 1;
  form.Show(SW_SHOWNOACTIVATE);
  const double cpuBefore = ProcessCpuSeconds();
  for (int seconds : {5, 3, 3, 5}) {
    const auto start = std::chrono::steady_clock::now();
    kestrane::WaitSeconds(seconds);
    const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("pause %d s: %.1f ms (%+.1f ms)\n", seconds, ms, ms - seconds * 1000.0);
  }
  std::printf("cpu over the pauses: %.3f s\n", ProcessCpuSeconds() - cpuBefore);
  return 0;
}
