#pragma once

#include <array>
#include <string>
#include <string_view>

#include "client/client_files.h"
#include "client/joined_text.h"
#include "platform/platform_ops.h"

namespace kestrane {

inline constexpr std::string_view kSettingsSection = "URL";
// The work copy's path is the program's folder followed by this, as Kestrane has always built
// it; Windows reads the two separators it gives at a drive root (K:\/temp.dat) as one.
inline constexpr std::string_view kForwardSlash = "/";
inline constexpr std::string_view kWorkFileSuffix = kJoined<kForwardSlash, kWorkFile>;

struct ProfileSetting {
  std::string_view key;
  std::string_view value;
};

// The four client settings that tell the modes apart, in the order they are written.
struct ModeProfile {
  std::array<ProfileSetting, 4> settings;
};

inline constexpr ModeProfile GameProfile{{{
    {"IsL2NetLogin", "True"},
    {"IsL2Console", "True"},
    {"IsUseCommand", "True"},
    {"L2ThreadFilter", "1"},
}}};

inline constexpr ModeProfile DevelopProfile{{{
    {"IsL2NetLogin", "False"},
    {"IsL2Console", "False"},
    {"IsUseCommand", "False"},
    {"L2ThreadFilter", "0"},
}}};

std::string WorkFilePath(PlatformOps& platform);
// Writes the profile into the work copy and reads it back: a failure, or a copy whose
// other settings would not survive, is reported instead of being encoded.
OpResult PatchClientSettings(PlatformOps& platform, const ModeProfile& profile);
OpResult PatchSettingsFile(PlatformOps& platform, const std::string& path, const ModeProfile& profile);

}  // namespace kestrane
