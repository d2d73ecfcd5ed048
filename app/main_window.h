#pragma once

#include "platform/platform_ops.h"

namespace kestrane {

// The program's one window. Its buttons and timer live behind the platform that the
// window is bound to; it remembers only the buttons' state, which tells whether an
// action runs (every action disables them first, and only start-up enables them).
class MainForm {
 public:
  void Bind(PlatformOps& platform) { platform_ = &platform; }
  PlatformOps& Platform() const { return *platform_; }
  bool ButtonsEnabled() const { return buttonsEnabled_; }
  void SetButtonsEnabledState(bool enabled) { buttonsEnabled_ = enabled; }

 private:
  PlatformOps* platform_ = nullptr;
  bool buttonsEnabled_ = false;
};

extern MainForm Form1;

void FormLoad();
void SetButtonsEnabled(bool enabled);
// Whether a request to close the window may end the program now.
bool FormQueryClose();

}  // namespace kestrane
