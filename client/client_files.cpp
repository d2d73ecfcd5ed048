#include "client/client_files.h"

#include "app/failure_report.h"

namespace kestrane {

// Tool first, then settings, then client; stops at the first one missing.
bool CheckRequiredFiles(PlatformOps& platform) {
  for (const auto name : {kEncoderTool, kClientSettings, kClientProgram})
    if (!platform.FileExists(name)) return false;
  return true;
}

// A copy or write cut short leaves only its temporary behind, never a half-written
// target; the temporary is dropped here so that it cannot pile up or be mistaken for data.
void DiscardInterruptedCopies(PlatformOps& platform) {
  for (const auto name : {kSettingsBackup, kClientSettings, kWorkFile}) platform.DiscardInterruptedCopy(name);
}

// An existing backup is never rewritten: it keeps the settings as they were before any
// mode run patched them.
OpResult EnsureSettingsBackup(PlatformOps& platform) {
  if (platform.FileExists(kSettingsBackup)) return std::nullopt;
  return FileStep(platform, [&] { return platform.CopyOver(kClientSettings, kSettingsBackup); });
}

// Settings that already equal the backup are not written again: a normal start-up then
// writes nothing, and a read-only but unchanged "l2.ini" is no obstacle.
OpResult RestoreSettingsFromBackup(PlatformOps& platform) {
  if (!platform.FileExists(kSettingsBackup)) return std::nullopt;
  return FileStep(platform, [&]() -> OpResult {
    const auto stored = platform.ReadBytes(kSettingsBackup);
    if (stored && stored == platform.ReadBytes(kClientSettings)) return std::nullopt;
    return platform.CopyOver(kSettingsBackup, kClientSettings);
  });
}

OpResult RemoveSettingsBackup(PlatformOps& platform) {
  if (!platform.FileExists(kSettingsBackup)) return std::nullopt;
  return FileStep(platform, [&] { return platform.RemoveFile(kSettingsBackup); });
}

OpResult RemoveWorkFile(PlatformOps& platform) {
  if (!platform.FileExists(kWorkFile)) return std::nullopt;
  return FileStep(platform, [&] { return platform.RemoveFile(kWorkFile); });
}

}  // namespace kestrane
