#pragma once

#include <array>
#include <string_view>

#include "client/exit_cleanup.h"
#include "client/mode_launch.h"

namespace kestrane {

// The window's layout in twips (1/1440 inch): 15 twips make a pixel at 96 DPI.
struct TwipsRect {
  int left, top, width, height;
};

// A button of the window: its control id, caption, place, and the handler of its click.
struct ButtonLayout {
  int id;
  std::wstring_view caption;
  TwipsRect rect;
  void (*click)();
};

inline constexpr int kClientWidthTwips = 1575;
inline constexpr int kClientHeightTwips = 1695;

// Command1 to Command3, in tab order.
inline constexpr std::array<ButtonLayout, 3> kButtonLayout{{
    {101, L"Game Mode", {120, 120, 1335, 375}, GameModeClick},
    {102, L"Develop Mode", {120, 600, 1335, 375}, DevelopModeClick},
    {103, L"Exit", {120, 1200, 1335, 375}, ExitClick},
}};

// Twips to pixels at a DPI, rounded to nearest as MulDiv does.
constexpr int TwipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

}  // namespace kestrane
