#include "client/client_files.h"

namespace kestrane {

// Tool first, then settings, then client; stops at the first one missing.
bool CheckRequiredFiles(PlatformOps& platform) {
  for (const auto name : {kEncoderTool, kClientSettings, kClientProgram})
    if (!platform.FileExists(name)) return false;
  return true;
}

// A copy cut short leaves only its temporary behind, never a half-written target;
// the temporary is dropped here so that it cannot pile up or be mistaken for data.
void DiscardInterruptedCopies(PlatformOps& platform) {
  platform.DiscardInterruptedCopy(kSettingsBackup);
  platform.DiscardInterruptedCopy(kClientSettings);
}

// An existing backup is never rewritten: it keeps the settings as they were before any
// mode run patched them.
void EnsureSettingsBackup(PlatformOps& platform) {
  if (!platform.FileExists(kSettingsBackup)) platform.CopyOver(kClientSettings, kSettingsBackup);
}

void RestoreSettingsFromBackup(PlatformOps& platform) {
  if (platform.FileExists(kSettingsBackup)) platform.CopyOver(kSettingsBackup, kClientSettings);
}

void RemoveSettingsBackup(PlatformOps& platform) {
  if (platform.FileExists(kSettingsBackup)) platform.RemoveFile(kSettingsBackup);
}

void RemoveWorkFile(PlatformOps& platform) {
  if (platform.FileExists(kWorkFile)) platform.RemoveFile(kWorkFile);
}

}  // namespace kestrane
