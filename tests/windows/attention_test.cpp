// What Wine can show of getting a box seen behind a game: the shell's taskbar message let
// through to the window, and the taskbar flash asked for exactly when the window is not in
// front. Wine has no taskbar to flash and no foreground lock, so the rest is Windows' own.
#include <gtest/gtest.h>

#include "platform/win32_attention.h"
#include "tests/support/test_window.h"

namespace kestrane::testing {
namespace {

TEST(BoxSeen, TheShellsTaskbarMessageIsLetThroughToTheWindow) {
  TestWindow form;
  ASSERT_TRUE(form.Handle());
  const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  ASSERT_NE(message, 0u);
  EXPECT_TRUE(AllowMessageFromShell(form.Handle(), message));
}

TEST(BoxSeen, TheTaskbarFlashIsAskedForOnlyWhenAnotherWindowIsInFront) {
  TestWindow form;
  TestWindow box(form.Handle());
  TestWindow game;
  ASSERT_TRUE(TakeForeground(form.Handle()));
  EXPECT_FALSE(AskForAttentionUnlessInFront(form.Handle())) << "the window is in front";
  ASSERT_TRUE(TakeForeground(box.Handle()));
  EXPECT_FALSE(AskForAttentionUnlessInFront(form.Handle())) << "its own box is in front";
  ASSERT_TRUE(TakeForeground(game.Handle()));
  EXPECT_TRUE(FormInFront(game.Handle()));
  EXPECT_FALSE(FormInFront(form.Handle()));
  EXPECT_TRUE(AskForAttentionUnlessInFront(form.Handle())) << "another window is in front: no flash asked";
  StopAskingForAttention(form.Handle());
}

}  // namespace
}  // namespace kestrane::testing
