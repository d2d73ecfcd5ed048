#include "client/mode_profiles.h"

namespace kestrane {

// At a drive root the folder keeps its separator ("K:\"), so the path reads "K:\/temp.dat";
// Windows accepts the doubled separator.
std::string WorkFilePath(PlatformOps& platform) { return platform.AppFolder() + std::string(kWorkFileSuffix); }

// A failed write is not fatal: the client then starts with that setting as it was.
void PatchClientSettings(PlatformOps& platform, const ModeProfile& profile) {
  for (const auto& setting : profile.settings)
    platform.WriteIniValue(kSettingsSection, setting.key, setting.value, WorkFilePath(platform));
}

}  // namespace kestrane
