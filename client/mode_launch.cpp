#include "client/mode_launch.h"

#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"

namespace kestrane {

// Fixed pauses stand in for the tool's and the client's work; no step checks an earlier
// one, and the last restores the stored settings so the mode holds for one start only.
void RunModeSequence(const ModeProfile& profile) {
  auto& platform = Form1.Platform();
  SetButtonsEnabled(false);
  platform.StartProgram(kDecodeCommand, kShellWindowStyle);
  WaitSeconds(5);
  PatchClientSettings(platform, profile);
  WaitSeconds(3);
  platform.StartProgram(kEncodeCommand, kShellWindowStyle);
  WaitSeconds(3);
  platform.StartProgram(kClientCommand, kShellWindowStyle);
  WaitSeconds(5);
  RestoreSettingsFromBackup(platform);
  platform.EndProgram();
}

void GameModeClick() { RunModeSequence(GameProfile); }

void DevelopModeClick() { RunModeSequence(DevelopProfile); }

}  // namespace kestrane
