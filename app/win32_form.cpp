#include "app/win32_form.h"

#include <uxtheme.h>

#include <memory>
#include <type_traits>

#include "app/form_layout.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "platform/win32_attention.h"
#include "platform/win32_util.h"
#include "res/resource_ids.h"

namespace kestrane {
namespace {

// The screen's DPI as GDI has it (the system DPI); 0 where it is unknown.
int ScreenDpi() {
  const auto release = [](HDC context) { ReleaseDC(nullptr, context); };
  const std::unique_ptr<std::remove_pointer_t<HDC>, decltype(release)> screen(GetDC(nullptr), release);
  return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

// Functions newer than Windows 7 are looked up at run time; user32 is always loaded.
UINT DpiOfWindow(HWND window) {
  if (const auto getDpiForWindow = LookUpFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow"))
    if (const UINT dpi = getDpiForWindow(window)) return dpi;
  const int dpi = ScreenDpi();
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

RECT WindowRectForClient(int width, int height, UINT dpi) {
  RECT rect{0, 0, width, height};
  using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  if (const auto adjust = LookUpFunction<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi"))
    adjust(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi);
  else
    AdjustWindowRectEx(&rect, kWindowStyle, FALSE, kWindowExStyle);
  return rect;
}

// With visual styles Windows draws the class's small icon in the caption even with a dialog
// frame; the theme's own switch leaves the caption to the name (the taskbar keeps the icon).
// Every program with a window has the theme library loaded; without it there is no theme. It is
// never loaded here: on Windows 7 that could pick up a copy planted in the game's folder.
void HideCaptionIcon(HWND window) {
  using SetAttribute = HRESULT(WINAPI*)(HWND, WINDOWTHEMEATTRIBUTETYPE, PVOID, DWORD);
  const auto set = LookUpFunction<SetAttribute>(L"uxtheme.dll", "SetWindowThemeAttribute");
  if (!set) return;
  WTA_OPTIONS options{WTNCA_NODRAWICON, WTNCA_NODRAWICON};
  set(window, WTA_NONCLIENT, &options, sizeof(options));
}

// The system's message font at the given DPI, not the raw System font.
HFONT CreateMessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  using ParametersForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  if (const auto forDpi = LookUpFunction<ParametersForDpi>(L"user32.dll", "SystemParametersInfoForDpi")) {
    if (!forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) return nullptr;
  } else {
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
    const int systemDpi = ScreenDpi();
    if (systemDpi > 0) metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), systemDpi);
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace

Win32Form::~Win32Form() {
  if (window_) DestroyWindow(window_);
  if (font_) DeleteObject(font_);
}

bool Win32Form::Create(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KESTRANE));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_KESTRANE), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kFormWindowClass;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  const UINT systemDpi = DpiOfWindow(nullptr);
  const SIZE size = WindowSizeForDpi(systemDpi);
  window_ = CreateWindowExW(kWindowExStyle, kFormWindowClass, L"Kestrane", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            size.cx, size.cy, nullptr, nullptr, instance, this);
  if (!window_) return false;
  HideCaptionIcon(window_);
  for (size_t i = 0; i < kButtonLayout.size(); ++i) {
    const auto& button = kButtonLayout[i];
    buttons_[i] = CreateWindowExW(0, L"BUTTON", std::wstring(button.caption).c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), instance, nullptr);
    if (!buttons_[i]) return false;
  }
  lastFocus_ = buttons_[0];
  platform_.AttachWindow(window_, buttons_);
  taskbarButtonCreated_ = RegisterWindowMessageW(L"TaskbarButtonCreated");
  if (taskbarButtonCreated_) AllowMessageFromShell(window_, taskbarButtonCreated_);
  ApplyDpi(DpiOfWindow(window_));
  return true;
}

void Win32Form::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  SetFocus(buttons_[0]);
}

SIZE Win32Form::WindowSizeForDpi(UINT dpi) const {
  const int dpiValue = static_cast<int>(dpi);
  const RECT rect = WindowRectForClient(TwipsToPixels(kClientWidthTwips, dpiValue),
                                        TwipsToPixels(kClientHeightTwips, dpiValue), dpi);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// Sizes the window so that its client area, not its frame, has the layout's size, then
// places the buttons and gives them the message font of this DPI.
void Win32Form::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  const SIZE size = WindowSizeForDpi(dpi);
  SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const HFONT oldFont = font_;
  font_ = CreateMessageFont(dpi);
  const int dpiValue = static_cast<int>(dpi);
  for (size_t i = 0; i < kButtonLayout.size(); ++i) {
    const TwipsRect& r = kButtonLayout[i].rect;
    MoveWindow(buttons_[i], TwipsToPixels(r.left, dpiValue), TwipsToPixels(r.top, dpiValue),
               TwipsToPixels(r.width, dpiValue), TwipsToPixels(r.height, dpiValue), TRUE);
    SendMessageW(buttons_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  if (oldFont) DeleteObject(oldFont);
}

LRESULT CALLBACK Win32Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (taskbarButtonCreated_ && message == taskbarButtonCreated_) {
    platform_.AttachTaskbarButton();
    return 0;
  }
  switch (message) {
    case WM_SETCURSOR:
      // The buttons pass the question to their parent first, so this covers them too.
      if (LOWORD(lParam) == HTCLIENT) {
        SetCursor(platform_.ClientCursor());
        return TRUE;
      }
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    // Logoff and shutdown go ahead; the reason registered while an action runs tells the
    // player why they wait while the settings are put back.
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      FormEndSession(wParam != FALSE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case DM_GETDEFID:
      // Enter clicks the focused button, as it does in a dialog.
      if (const HWND focus = GetFocus(); focus && IsChild(window_, focus))
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      return 0;
    case WM_ACTIVATEAPP:
      // The player has turned to Kestrane (its box): the taskbar button has done its part.
      if (wParam) StopAskingForAttention(window_);
      break;
    case WM_ACTIVATE:
      // Keep the focused button across a switch to another window and back.
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (const HWND focus = GetFocus(); focus && IsChild(window_, focus)) lastFocus_ = focus;
      } else if (lastFocus_) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32Form::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  for (const auto& button : kButtonLayout)
    if (button.id == id) button.click();
}

void Win32Form::OnTimer(UINT_PTR id) {
  if (id == Win32PlatformOps::kTimerId && platform_.TakeDueTick()) Timer1Tick();
}

void Win32Form::OnClose() {
  if (FormQueryClose()) DestroyWindow(window_);
}

// Without this, Windows widens a captioned window to its minimum tracking width, and the
// client area would come out wider than the layout.
void Win32Form::OnGetMinMaxInfo(MINMAXINFO& info) const {
  const SIZE size = WindowSizeForDpi(dpi_);
  info.ptMinTrackSize = {size.cx, size.cy};
  info.ptMaxTrackSize = {size.cx, size.cy};
}

void Win32Form::OnDpiChanged(UINT dpi, const RECT& suggested) {
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi(dpi);
}

int RunMessageLoop(HWND form) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(form, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace kestrane
