#pragma once

#include <windows.h>

// Getting a box seen by a player whose game has the foreground, which Windows keeps from a
// program in the background.
namespace kestrane {

// Whether the foreground window is form or a window that form owns (its box).
bool FormInFront(HWND form);
// Flashes form's taskbar button until the player turns to it; false where form is in front
// and nothing was asked.
bool AskForAttentionUnlessInFront(HWND form);
void StopAskingForAttention(HWND form);
// The box that another process's window of this class shows (owned by it or, before that
// window is shown, on its thread), brought in front; false where there is none.
bool BringBoxOfEarlierCopyForward(const wchar_t* windowClass);
// Lets the shell's message through to a window of an elevated program, which Windows
// otherwise filters as coming from a less trusted process.
bool AllowMessageFromShell(HWND window, UINT message);

}  // namespace kestrane
