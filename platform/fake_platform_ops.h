#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform_ops.h"

namespace kestrane {

// Thrown by the fake where the real program would end: an end or a failing operation.
struct ProgramEnded {
  bool failed = false;
  std::string report;
};

struct PlatformCall {
  std::int64_t atMs = 0;  // simulated time of the call
  std::string op;
  std::vector<std::string> args;
};

// In-memory stand-in for Windows: files keyed by full path, every call recorded in
// order, a simulated clock that moves only when events are processed, and failures
// that can be injected per operation and file.
class FakePlatformOps final : public PlatformOps {
 public:
  FakePlatformOps();

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

  // Set-up and inspection for tests. Relative names resolve against the working folder.
  void PutFile(std::string_view name, std::string bytes);
  std::optional<std::string> FileBytes(std::string_view name) const;
  std::vector<std::string> FileNames() const;
  void SetAppFolder(std::string folder) { appFolder_ = std::move(folder); }
  void SetPreviousInstanceFlag(bool running) { previousInstance_ = running; }
  const std::string& WorkingFolder() const { return workingFolder_; }
  // The next StartProgram, CopyOver or RemoveFile of op ("Start", "Copy", "Delete")
  // whose first argument equals subject fails.
  void FailOn(std::string op, std::string subject);
  void SetTickHandler(std::function<void()> handler) { tickHandler_ = std::move(handler); }
  // Runs event as a window event once the simulated clock reaches atMs.
  void At(std::int64_t atMs, std::function<void()> event);

  std::int64_t NowMs() const { return nowMs_; }
  const std::vector<PlatformCall>& Calls() const { return calls_; }
  // The calls of the given operations only, in order.
  std::vector<PlatformCall> CallsOf(std::initializer_list<std::string_view> ops) const;
  int DoEventsCount() const { return doEventsCount_; }
  bool Ended() const { return ended_; }

 private:
  std::string Resolve(std::string_view name) const;
  void Record(std::string op, std::vector<std::string> args);
  void FailIfInjected(std::string_view op, std::string_view subject);
  void RestartTimerIfArmed();

  std::map<std::string, std::string> files_;
  std::vector<PlatformCall> calls_;
  std::vector<std::pair<std::string, std::string>> failures_;
  std::multimap<std::int64_t, std::function<void()>> scheduled_;
  std::function<void()> tickHandler_;
  std::string appFolder_ = "C:\\Games\\Client";
  std::string workingFolder_ = "C:\\Games\\Client";
  bool previousInstance_ = false;
  bool buttons_[3] = {true, true, true};
  std::int32_t timerInterval_ = 0;
  bool timerEnabled_ = false;
  std::int64_t timerStartMs_ = 0;
  std::int64_t nowMs_ = 0;
  int doEventsCount_ = 0;
  int idlePasses_ = 0;
  bool ended_ = false;
};

}  // namespace kestrane
