#include "client/mode_profiles.h"

#include "app/failure_report.h"
#include "client/ini_text.h"

namespace kestrane {
namespace {

constexpr std::string_view kPatchFailed = "The mode's settings could not be written.";

Failure PatchFailure(const std::string& path, const std::string& problem) {
  return {std::string(kPatchFailed), {{"File", path}, {"Problem", problem}}};
}

// What a reader of the work copy must see after the patch: every setting as before, and
// the profile's four with their new values.
OpResult CheckPatched(const std::string& written, const SettingsText& before, const ModeProfile& profile,
                      const std::string& path) {
  const DecodedSettings after = DecodeSettingsText(written);
  if (!after.settings || after.settings->form != before.form)
    return PatchFailure(path, "the work copy did not keep its text form");
  IniSettings expected = ReadIniSettings(before.text);
  for (const auto& setting : profile.settings)
    expected[IniSettingKey(kSettingsSection, setting.key)] = {
        "[" + std::string(kSettingsSection) + "] " + std::string(setting.key), std::string(setting.value)};
  const IniSettings actual = ReadIniSettings(after.settings->text);
  for (const auto& [key, setting] : expected) {
    const auto found = actual.find(key);
    if (found == actual.end() || found->second.value != setting.value)
      return PatchFailure(path, setting.name + " does not read back as " + setting.value);
  }
  for (const auto& [key, setting] : actual)
    if (!expected.contains(key)) return PatchFailure(path, setting.name + " appeared");
  return std::nullopt;
}

}  // namespace

// At a drive root the folder keeps its separator ("K:\"), so the path reads "K:\/temp.dat";
// Windows accepts the doubled separator.
std::string WorkFilePath(PlatformOps& platform) { return platform.AppFolder() + std::string(kWorkFileSuffix); }

// The four values are set in memory and written in one step, so the work copy never holds
// half a profile. The text keeps its form (ANSI, UTF-8 or UTF-16 with their byte-order
// marks) and its line ends; the system's own writer would take a UTF-8 mark for text.
OpResult PatchClientSettings(PlatformOps& platform, const ModeProfile& profile) {
  return PatchSettingsFile(platform, WorkFilePath(platform), profile);
}

// A work copy that another program holds is waited for like any file; one that cannot be
// read is never taken for an empty one, and one that is gone means the decode did not hold.
OpResult PatchSettingsFile(PlatformOps& platform, const std::string& path, const ModeProfile& profile) {
  ReadResult read;
  if (OpResult failure = FileStep(platform, [&]() -> OpResult {
        read = platform.ReadBytes(path);
        if (read.failure && read.failure->kind == FailureKind::NotFound) return std::nullopt;
        return read.failure;
      }))
    return failure;
  if (read.failure)
    return Failure{std::string(kDecodeFailed), {{"File", path}, {"Problem", "temp.dat was gone when it was to be patched"}}};
  const DecodedSettings before = DecodeSettingsText(read.bytes);
  if (!before.settings) return PatchFailure(path, "temp.dat cannot be changed safely: " + before.problem);
  SettingsText patched = *before.settings;
  for (const auto& setting : profile.settings)
    patched.text = WithIniValue(patched.text, kSettingsSection, setting.key, setting.value);
  const std::string bytes = EncodeSettingsText(patched);
  if (OpResult failure = FileStep(platform, [&] {
        OpResult written = platform.WriteBytes(path, bytes, Overwrite::Allowed);
        if (written) written->summary = std::string(kPatchFailed) + "\n\n" + written->summary;
        return written;
      }))
    return failure;
  std::string written;
  if (OpResult failure = ReadStep(platform, path, written)) return failure;
  return CheckPatched(written, *before.settings, profile, path);
}

}  // namespace kestrane
