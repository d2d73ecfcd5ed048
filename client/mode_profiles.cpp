#include "client/mode_profiles.h"

#include "app/failure_report.h"
#include "client/ini_text.h"

namespace kestrane {
namespace {

Failure PatchFailure(const std::string& path, Box box) {
  Failure failure{Operation::Write, {{Detail::File, path}}};
  failure.box = box;
  return failure;
}

// What a reader of the work copy must see after the patch: every setting as before, and
// the profile's four with their new values.
OpResult CheckPatched(const std::string& written, const SettingsText& before, const ModeProfile& profile,
                      const std::string& path) {
  const DecodedSettings after = DecodeSettingsText(written);
  if (!after.settings || after.settings->form != before.form)
    return PatchFailure(path, Box::PatchNotKept);
  IniSettings expected = ReadIniSettings(before.text);
  for (const auto& setting : profile.settings)
    expected[IniSettingKey(kSettingsSection, setting.key)] = {
        "[" + std::string(kSettingsSection) + "] " + std::string(setting.key), std::string(setting.value)};
  const IniSettings actual = ReadIniSettings(after.settings->text);
  for (const auto& [key, setting] : expected) {
    const auto found = actual.find(key);
    if (found == actual.end() || found->second.value != setting.value)
      return PatchFailure(path, Box::PatchNotKept);
  }
  for (const auto& [key, setting] : actual)
    if (!expected.contains(key)) return PatchFailure(path, Box::PatchNotKept);
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
    return PatchFailure(path, Box::WorkFileGone);
  const DecodedSettings before = DecodeSettingsText(read.bytes);
  if (!before.settings) return PatchFailure(path, Box::TextFormUnchangeable);
  SettingsText patched = *before.settings;
  for (const auto& setting : profile.settings)
    patched.text = WithIniValue(patched.text, kSettingsSection, setting.key, setting.value);
  const std::string bytes = EncodeSettingsText(patched);
  if (OpResult failure = FileStep(platform, [&] { return platform.WriteBytes(path, bytes, Overwrite::Allowed); }))
    return failure;
  std::string written;
  if (OpResult failure = ReadStep(platform, path, written)) return failure;
  return CheckPatched(written, *before.settings, profile, path);
}

}  // namespace kestrane
