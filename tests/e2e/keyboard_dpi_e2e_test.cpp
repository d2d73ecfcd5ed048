#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/window_probe.h"

namespace kestrane::testing {
namespace {

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// Real key strokes, through the window system to the foreground window.
void Press(WORD key, bool shift = false) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  if (shift) add(VK_SHIFT, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(300);
}

class KeyboardEndToEnd : public ::testing::TestWithParam<WORD> {};

TEST_P(KeyboardEndToEnd, FocusStartsOnGameModeTabFollowsTheOrderAndTheKeyClicksExit) {
  ClientFolder folder;
  LauncherRun run(folder);
  const HWND window = run.WaitForWindow();
  ASSERT_TRUE(window);
  SetForegroundWindow(window);
  Sleep(300);
  const HWND game = probe::FindButton(window, L"Game Mode");
  const HWND develop = probe::FindButton(window, L"Develop Mode");
  const HWND exit = probe::FindButton(window, L"Exit");
  EXPECT_EQ(FocusOf(window), game);
  Press(VK_TAB);
  EXPECT_EQ(FocusOf(window), develop);
  Press(VK_TAB);
  EXPECT_EQ(FocusOf(window), exit);
  Press(VK_TAB);
  EXPECT_EQ(FocusOf(window), game) << "Tab should wrap round";
  Press(VK_TAB, true);
  ASSERT_EQ(FocusOf(window), exit) << "Shift+Tab should go back";
  Press(GetParam());
  ASSERT_TRUE(run.WaitForExit(15000)) << "the key did not click Exit";
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(folder.Has(L"l2.bak"));
  EXPECT_TRUE(folder.Log().empty()) << "a mode ran instead of Exit";
}

INSTANTIATE_TEST_SUITE_P(EnterAndSpace, KeyboardEndToEnd, ::testing::Values(VK_RETURN, VK_SPACE));

// Runs in a Wine prefix whose screen is set to the DPI named by KESTRANE_EXPECT_DPI.
TEST(DpiEndToEnd, TheLayoutScalesWithTheScreensDpi) {
  const char* expected = std::getenv("KESTRANE_EXPECT_DPI");
  if (!expected) GTEST_SKIP() << "needs a prefix with another DPI (KESTRANE_EXPECT_DPI)";
  const int dpi = std::atoi(expected);
  const auto px = [dpi](int twips) { return static_cast<LONG>((twips * dpi + 720) / 1440); };
  ClientFolder folder;
  LauncherRun run(folder);
  const HWND window = run.WaitForWindow();
  ASSERT_TRUE(window);
  const SIZE client = probe::ClientSize(window);
  EXPECT_EQ(client.cx, px(1575));
  EXPECT_EQ(client.cy, px(1695));
  const auto controls = probe::ControlsInTabOrder(window);
  ASSERT_EQ(controls.size(), 3u);
  const int tops[] = {120, 600, 1200};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(controls[i].rect.left, px(120));
    EXPECT_EQ(controls[i].rect.top, px(tops[i]));
    EXPECT_EQ(controls[i].rect.right - controls[i].rect.left, px(1335));
    EXPECT_EQ(controls[i].rect.bottom - controls[i].rect.top, px(375));
  }
}

}  // namespace
}  // namespace kestrane::testing
