#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/platform_ops.h"
#include "platform/win32_files.h"
#include "platform/win32_processes.h"
#include "platform/win32_util.h"

namespace kestrane {

// The platform operations on Windows. The window objects are the HWNDs that the main
// window attaches; the timer runs on the window's own WM_TIMER.
// A failure of the Windows layer in the words of the program's report.
Failure ToFailure(const OsFailure& failure);

// The window class of Form1, by which a second copy finds the first.
inline constexpr wchar_t kFormWindowClass[] = L"Kestrane.Form1";

class Win32PlatformOps final : public PlatformOps {
 public:
  static constexpr UINT_PTR kTimerId = 1;

  void AttachWindow(HWND form, const std::array<HWND, 3>& buttons);
  // For the window's WM_TIMER: true when the tick is due and goes to the tick handler.
  bool TakeDueTick();
  // For the shell's TaskbarButtonCreated: the button exists, and can show progress now.
  void AttachTaskbarButton();
  // For WM_SETCURSOR over the window's client area.
  HCURSOR ClientCursor() const;

  StartResult StartProgram(std::string_view commandLine, int windowStyle, Containment containment) override;
  std::optional<std::uint32_t> ExitCodeOf(RunId run) override;
  bool StopRun(RunId run) override;
  Readiness ReadinessOf(RunId run) override;
  OpResult CopyOver(std::string_view source, std::string_view destination) override;
  OpResult RemoveFile(std::string_view name) override;
  ExistsResult FileExists(std::string_view path) override;
  StampResult StampOf(std::string_view path) override;
  ReadResult ReadBytes(std::string_view path) override;
  OpResult WriteBytes(std::string_view path, std::string_view bytes, Overwrite overwrite) override;
  void DiscardInterruptedCopy(std::string_view destination) override;
  OpResult SetWorkingFolder(std::string_view folder) override;
  OpResult ProbeFolder() override;
  OpResult ProbeWrite(std::string_view path) override;
  std::string VirtualStoreFolder() override;
  bool MayBeRedirected(std::string_view program) override;
  void DoEvents() override;
  std::int64_t NowMs() override;
  void SetShutdownBlockReason(std::string_view reason) override;
  void ShowProgress(ProgressState state, std::int64_t done, std::int64_t total) override;
  void SetWorkingCursor(bool working) override;
  BoxChoice ShowErrorBox(const BoxMessage& box) override;
  std::string ButtonName(BoxChoice button) override;
  DisplayLanguages UiLanguages() override;
  [[noreturn]] void EndProgram(int exitCode = 0) override;
  std::string AppFolder() override;
  bool PreviousInstance() override;
  void BringEarlierBoxForward() override;
  void SetButtonEnabled(ButtonId button, bool enabled) override;
  void SetTimerInterval(std::int32_t milliseconds) override;
  std::int32_t TimerInterval() const override;
  void SetTimerEnabled(bool enabled) override;

 // Where the command interpreter is looked for, instead of Windows' system folder: for tests of
  // an interpreter that Windows will not start.
  void UseInterpreterFolder(std::string folder) { interpreterFolder_ = std::move(folder); }

 private:
  void RearmTimer();
  StartedProcess* Started(RunId run);
  void PumpPendingMessages();

  HWND form_ = nullptr;
  std::array<HWND, 3> buttons_{};
  std::vector<StartedProcess> runs_;  // RunId n is runs_[n - 1]
  struct ReleaseCom {
    void operator()(ITaskbarList3* object) const { object->Release(); }
  };
  void ApplyProgress();

  std::unique_ptr<ITaskbarList3, ReleaseCom> taskbar_;
  bool comStarted_ = false;
  ProgressState progressState_ = ProgressState::None;
  std::int64_t progressDone_ = 0, progressTotal_ = 0;
  bool workingCursor_ = false;
  UniqueHandle instanceMutex_;
  bool instanceChecked_ = false;
  bool previousInstance_ = false;
  std::int32_t timerInterval_ = 0;
  bool timerEnabled_ = false;
  std::int64_t timerDueUs_ = 0;  // on the performance counter, in microseconds
  std::string interpreterFolder_;
};

}  // namespace kestrane
