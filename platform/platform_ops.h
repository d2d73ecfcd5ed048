#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrane {

// The three push buttons of the main window, in tab order.
enum class ButtonId { Command1 = 0, Command2 = 1, Command3 = 2 };

// Every service of Windows and of the runtime that the launcher's logic rests on.
// Texts are UTF-8; the Win32 implementation converts them to UTF-16 at the call.
// Start, copy and delete either succeed or end the program with an error report:
// they never return after a failure.
class PlatformOps {
 public:
  PlatformOps() = default;
  PlatformOps(const PlatformOps&) = delete;
  PlatformOps& operator=(const PlatformOps&) = delete;
  virtual ~PlatformOps() = default;

  // Starts the program that the command line names and returns at once.
  virtual void StartProgram(std::string_view commandLine, int windowStyle) = 0;
  // Copies source's bytes over destination, replacing it.
  virtual void CopyOver(std::string_view source, std::string_view destination) = 0;
  virtual void RemoveFile(std::string_view name) = 0;
  virtual bool FileExists(std::string_view path) = 0;
  // Sets key=value in a section of an initialization file; false when it failed.
  virtual bool WriteIniValue(std::string_view section, std::string_view key,
                                  std::string_view value, std::string_view path) = 0;
  // Removes what an interrupted copy onto destination may have left beside it.
  virtual void DiscardInterruptedCopy(std::string_view destination) = 0;
  // Makes folder the working folder that relative names are resolved against.
  virtual void SetWorkingFolder(std::string_view folder) = 0;

  // Handles the window events that are waiting (waiting for the next one if none is).
  virtual void DoEvents() = 0;
  // Ends the program at once; nothing after the call runs.
  [[noreturn]] virtual void EndProgram() = 0;

  // The folder holding the running executable: no trailing separator except at a drive root.
  virtual std::string AppFolder() = 0;
  virtual bool PreviousInstance() = 0;

  // The window objects.
  virtual void SetButtonEnabled(ButtonId button, bool enabled) = 0;
  virtual bool ButtonEnabled(ButtonId button) const = 0;
  virtual void SetTimerInterval(std::int32_t milliseconds) = 0;
  virtual std::int32_t TimerInterval() const = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual bool TimerEnabled() const = 0;
};

}  // namespace kestrane
