#pragma once

#include <windows.h>

#include <array>
#include <chrono>

#include "platform/platform_ops.h"
#include "platform/win32_files.h"
#include "platform/win32_util.h"

namespace kestrane {

// The platform operations on Windows. The window objects are the HWNDs that the main
// window attaches; the timer runs on the window's own WM_TIMER.
class Win32PlatformOps final : public PlatformOps {
 public:
  static constexpr UINT_PTR kTimerId = 1;

  void AttachWindow(HWND form, const std::array<HWND, 3>& buttons);
  // For the window's WM_TIMER: true when the tick is due and goes to the tick handler.
  bool TakeDueTick();

  void StartProgram(std::string_view commandLine, int windowStyle) override;
  void CopyOver(std::string_view source, std::string_view destination) override;
  void RemoveFile(std::string_view name) override;
  bool FileExists(std::string_view path) override;
  bool WriteIniValue(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view path) override;
  void DiscardInterruptedCopy(std::string_view destination) override;
  void SetWorkingFolder(std::string_view folder) override;
  void DoEvents() override;
  [[noreturn]] void EndProgram() override;
  std::string AppFolder() override;
  bool PreviousInstance() override;
  void SetButtonEnabled(ButtonId button, bool enabled) override;
  bool ButtonEnabled(ButtonId button) const override;
  void SetTimerInterval(std::int32_t milliseconds) override;
  std::int32_t TimerInterval() const override;
  void SetTimerEnabled(bool enabled) override;
  bool TimerEnabled() const override;

 private:
  void EndOnFailure(const OsResult& result);
  void RearmTimer();
  void PumpPendingMessages();

  HWND form_ = nullptr;
  std::array<HWND, 3> buttons_{};
  UniqueHandle instanceMutex_;
  bool previousInstance_ = false;
  std::int32_t timerInterval_ = 0;
  bool timerEnabled_ = false;
  std::chrono::steady_clock::time_point timerDue_{};
};

}  // namespace kestrane
