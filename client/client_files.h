#pragma once

#include <string_view>

#include "client/joined_text.h"
#include "platform/platform_ops.h"
#include "platform/program_paths.h"

namespace kestrane {

// The client's files, relative to the working folder (which start-up makes the program's own).
inline constexpr std::string_view kEncoderTool = "l2encdec.exe";
inline constexpr std::string_view kClientSettings = "l2.ini";
inline constexpr std::string_view kClientProgram = "l2.exe";
inline constexpr std::string_view kSettingsBackup = "l2.bak";
inline constexpr std::string_view kWorkFile = "temp.dat";

// The tool runs through the command interpreter, which ends when the tool does ("/c") and
// keeps its command extensions on ("/x").
inline constexpr std::string_view kInterpreterRuns = " /x /c ";
inline constexpr std::string_view kDecodeSwitch = " -d ";
inline constexpr std::string_view kEncodeSwitch = " -e413 ";
inline constexpr std::string_view kBetweenFiles = " ";
inline constexpr std::string_view kDecodeCommand =
    kJoined<kInterpreterCommand, kInterpreterRuns, kEncoderTool, kDecodeSwitch, kClientSettings, kBetweenFiles, kWorkFile>;
inline constexpr std::string_view kEncodeCommand =
    kJoined<kInterpreterCommand, kInterpreterRuns, kEncoderTool, kEncodeSwitch, kWorkFile, kBetweenFiles, kClientSettings>;
inline constexpr std::string_view kClientCommand = kClientProgram;

OpResult CheckRequiredFiles(PlatformOps& platform, bool& allPresent);
void DiscardInterruptedCopies(PlatformOps& platform);
// With taken, says whether this call took a new backup.
OpResult EnsureSettingsBackup(PlatformOps& platform, bool* taken = nullptr);
// What a restore found: whether there was an "l2.bak" to put back, and whether "l2.ini"
// differed from it (or could not be read), so that it had to be written.
struct RestoreOutcome {
  bool backupThere = false;
  bool differed = false;
};
OpResult RestoreSettingsFromBackup(PlatformOps& platform, RestoreOutcome* outcome = nullptr);
OpResult RemoveSettingsBackup(PlatformOps& platform);
OpResult RemoveWorkFile(PlatformOps& platform);

}  // namespace kestrane
