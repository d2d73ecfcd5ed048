#include <gtest/gtest.h>

#include <chrono>

#include "app/main_window.h"
#include "app/paced_wait.h"
#include "app/win32_form.h"

namespace kestrane::testing {
namespace {

// The real window and timer: a pause never ends early, and the window stays responsive.
TEST(PacedWaitOnTheRealWindow, LastsAtLeastItsLengthAndKeepsHandlingMessages) {
  Win32PlatformOps platform;
  Form1.Bind(platform);
  Win32Form form(platform);
  ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr)));
  form.Show(SW_SHOWNOACTIVATE);
  ASSERT_TRUE(PostMessageW(form.Handle(), WM_NULL, 0, 0)) << "nothing to take";  // harmless; must be taken
  for (int seconds : {1, 2}) {
    const auto start = std::chrono::steady_clock::now();
    WaitSeconds(seconds);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::seconds(seconds));
    EXPECT_LT(elapsed, std::chrono::seconds(seconds) + std::chrono::milliseconds(900));
    EXPECT_EQ(platform.TimerInterval(), 0);
  }
  MSG pending;
  EXPECT_FALSE(PeekMessageW(&pending, form.Handle(), 0, 0, PM_NOREMOVE)) << "a message was left waiting";
  Sleep(2100);  // longer than any interval used: a timer still armed would have ticked
  EXPECT_FALSE(PeekMessageW(&pending, form.Handle(), WM_TIMER, WM_TIMER, PM_NOREMOVE)) << "the timer was left running";
}

TEST(PacedWaitOnTheRealWindow, ZeroSecondsReturnsAtOnce) {
  Win32PlatformOps platform;
  Form1.Bind(platform);
  Win32Form form(platform);
  ASSERT_TRUE(form.Create(GetModuleHandleW(nullptr)));
  const auto start = std::chrono::steady_clock::now();
  WaitSeconds(0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace kestrane::testing
