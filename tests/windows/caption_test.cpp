// The title bar holds the program's whole name at every DPI players have: the window's style,
// and the name measured with the caption font of each DPI against Windows 10's caption buttons.
#include <gtest/gtest.h>

#include "app/form_layout.h"
#include "app/win32_form.h"
#include "platform/win32_util.h"

namespace kestrane::testing {
namespace {

// At 96 DPI, scaled with the DPI: without an icon in the caption the title begins about 8
// pixels inside the frame, and a few pixels part it from the close button. Windows 10 and 11
// draw a caption button 46 pixels wide, wider than this system's own.
constexpr int kWindows10CaptionButton96 = 46;
constexpr int kTitleInset96 = 8;
constexpr int kTitleGap96 = 4;

template <typename Function>
Function User32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

struct TitleRoom {
  int nameWidth = 0;
  int room = 0;           // with this system's close button
  int roomOnWindows10 = 0;
  bool windows10Font = false;  // the caption font is Windows 10's own (Segoe UI)
};

TitleRoom MeasureAt(UINT dpi) {
  const auto adjust = User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  const auto metricsForDpi = User32<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
  if (!adjust || !metricsForDpi) return {};
  const int dpiValue = static_cast<int>(dpi);
  RECT rect{0, 0, TwipsToPixels(kClientWidthTwips, dpiValue), TwipsToPixels(kClientHeightTwips, dpiValue)};
  adjust(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  metricsForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi);
  const HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  const HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE name{};
  GetTextExtentPoint32W(dc, L"Kestrane", 8, &name);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  const int frame = -rect.left;
  const int caption = rect.right - rect.left - 2 * frame;
  const auto scaled = [&](int pixels) { return MulDiv(pixels, dpiValue, 96); };
  const auto buttonForDpi = User32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  const int button = buttonForDpi ? buttonForDpi(SM_CXSIZE, dpi) : scaled(GetSystemMetrics(SM_CXSIZE));
  const int title = caption - scaled(kTitleInset96) - scaled(kTitleGap96);
  return {name.cx, title - button, title - scaled(kWindows10CaptionButton96),
          lstrcmpiW(metrics.lfCaptionFont.lfFaceName, L"Segoe UI") == 0};
}

TEST(CaptionLayout, AFixedBorderTheSystemMenuAndTheCloseButtonOnly) {
  EXPECT_EQ(kWindowStyle & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_TRUE(kWindowStyle & WS_SYSMENU) << "Alt+Space and Close";
  EXPECT_FALSE(kWindowStyle & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "a caption button besides Close";
  EXPECT_FALSE(kWindowStyle & WS_THICKFRAME) << "the border must be fixed";
  EXPECT_TRUE(kWindowExStyle & WS_EX_DLGMODALFRAME) << "an icon in the caption leaves the name no room";
}

// The name in this system's caption font, against its own close button, and, where the caption
// font is Windows 10's own, against Windows 10's wider button too (Wine's is a wider bold Tahoma,
// so there the room beside Windows 10's button is only said).
TEST(CaptionLayout, TheWholeNameFitsBetweenTheFrameAndTheCloseButtonAtEveryDpi) {
  for (const UINT dpi : {96u, 120u, 144u, 192u}) {
    const TitleRoom title = MeasureAt(dpi);
    ASSERT_GT(title.nameWidth, 0) << "could not measure at " << dpi << " DPI";
    EXPECT_LE(title.nameWidth, title.room) << "at " << dpi << " DPI";
    if (title.windows10Font) {
      EXPECT_LE(title.nameWidth, title.roomOnWindows10) << "beside Windows 10's caption button at " << dpi << " DPI";
    }
    std::cout << dpi << " DPI: the name takes " << title.nameWidth << " of " << title.room
              << " pixels (with Windows 10's caption button: " << title.roomOnWindows10
              << (title.windows10Font ? ", asserted" : ", not asserted: the caption font here is not Segoe UI") << ")\n";
  }
}

// A function newer than Windows 7 is looked up in a module the process already has, never
// loaded by name: a copy planted in the game's folder would be found first.
TEST(LookUpFunction, FindsFunctionsOfLoadedModulesAndNeverLoadsOne) {
  using GetTickCount64Function = ULONGLONG(WINAPI*)();
  const auto tick = kestrane::LookUpFunction<GetTickCount64Function>(L"kernel32.dll", "GetTickCount64");
  ASSERT_NE(tick, nullptr);
  EXPECT_GT(tick(), 0u);
  EXPECT_EQ(kestrane::LookUpFunction<GetTickCount64Function>(L"kernel32.dll", "NoSuchFunctionAnywhere"), nullptr);

  // A system DLL this program does not use: not found, and still not loaded afterwards.
  ASSERT_EQ(GetModuleHandleW(L"msi.dll"), nullptr) << "the test needs a DLL the program has not loaded";
  using OpenProductFunction = UINT(WINAPI*)(const wchar_t*, void*);
  EXPECT_EQ(kestrane::LookUpFunction<OpenProductFunction>(L"msi.dll", "MsiOpenProductW"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"msi.dll"), nullptr) << "looking a function up loaded its DLL";
}

}  // namespace
}  // namespace kestrane::testing
