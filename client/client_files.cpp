#include "client/client_files.h"

#include "app/failure_report.h"
#include "platform/program_paths.h"

namespace kestrane {

// Tool first, then settings, then client; stops at the first one missing. A query that
// cannot tell is a failure, not a missing file.
OpResult CheckRequiredFiles(PlatformOps& platform, bool& allPresent) {
  allPresent = false;
  for (const auto name : {kEncoderTool, kClientSettings, kClientProgram}) {
    bool present = false;
    if (OpResult failure = ExistsStep(platform, name, present)) return failure;
    if (!present) return std::nullopt;
  }
  allPresent = true;
  return std::nullopt;
}

// A copy or write cut short leaves only its temporary behind, never a half-written
// target; the temporary is dropped here so that it cannot pile up or be mistaken for data.
void DiscardInterruptedCopies(PlatformOps& platform) {
  for (const auto name : {kSettingsBackup, kClientSettings, kWorkFile}) platform.DiscardInterruptedCopy(name);
}

namespace {

bool HeldByAnother(const OpResult& failure) { return failure && failure->kind == FailureKind::InUse; }

// A new backup that cannot be shown to be a true copy is removed: it is that or nothing.
Failure UncheckedBackupRemoved(PlatformOps& platform, const OpResult& unread) {
  const std::string path = JoinPath(platform.AppFolder(), kSettingsBackup);
  Failure failure = unread ? *unread : Failure{Operation::Read, {{Detail::File, path}}};
  failure.box = unread ? Box::BackupUnreadable : Box::BackupNotTrue;
  failure.removed = !platform.RemoveFile(kSettingsBackup);
  return failure;
}

}  // namespace

// An existing backup is never rewritten: it keeps the settings as they were before any
// mode run patched them. A new one is the bytes read from "l2.ini" with writers shut out,
// moved into place whole and only where no file of its name is, then read back: it is a
// true copy or it is not there at all.
OpResult EnsureSettingsBackup(PlatformOps& platform, bool* taken) {
  bool present = false;
  if (OpResult failure = ExistsStep(platform, kSettingsBackup, present)) return failure;
  if (present) return std::nullopt;
  std::string settings;
  if (OpResult failure = ReadStep(platform, kClientSettings, settings)) return failure;
  bool appeared = false;
  if (OpResult failure = FileStep(platform, [&] {
        OpResult written = platform.WriteBytes(kSettingsBackup, settings, Overwrite::Never);
        appeared = written && written->kind == FailureKind::AlreadyExists;
        return appeared ? std::nullopt : written;
      }))
    return failure;
  if (appeared) return std::nullopt;  // a backup that is there is kept, whoever made it
  // A virus scanner often looks at a fresh file at once: that is no failing disk.
  std::string readBack;
  const OpResult unread = RetryWhileInUse(platform, [&] {
    ReadResult read = platform.ReadBytes(kSettingsBackup);
    readBack = std::move(read.bytes);
    return read.failure;
  });
  if (!unread && readBack == settings) {
    if (taken) *taken = true;
    return std::nullopt;
  }
  return UncheckedBackupRemoved(platform, unread);
}

// Settings that already equal the backup are not written again: a normal start-up then
// writes nothing, and a read-only but unchanged "l2.ini" is no obstacle. A client that keeps
// "l2.ini" open while letting others write it leaves no way to replace the file, only to
// rewrite it where it stands: that is allowed here, and only here.
OpResult RestoreSettingsFromBackup(PlatformOps& platform, RestoreOutcome* outcome) {
  RestoreOutcome found;
  if (!outcome) outcome = &found;
  bool present = false;
  if (OpResult failure = ExistsStep(platform, kSettingsBackup, present)) return failure;
  outcome->backupThere = present;
  if (!present) return std::nullopt;
  // A file held for a moment is waited for here too, not taken for one that differs: the
  // copy might fail for another reason (a read-only "l2.ini" that needs no copy).
  return FileStep(platform, [&]() -> OpResult {
    const ReadResult stored = platform.ReadBytes(kSettingsBackup);
    if (HeldByAnother(stored.failure)) return stored.failure;
    ReadResult current;
    if (!stored.failure) {
      current = platform.ReadBytes(kClientSettings);
      if (!current.failure && current.bytes == stored.bytes) return std::nullopt;
    }
    outcome->differed = true;
    OpResult copied = platform.CopyOver(kSettingsBackup, kClientSettings);
    return copied && !HeldByAnother(copied) && HeldByAnother(current.failure) ? current.failure : copied;
  });
}

namespace {

// A file that is not there is no failure; one whose presence cannot be told is.
OpResult RemoveIfPresent(PlatformOps& platform, std::string_view name) {
  bool present = false;
  if (OpResult failure = ExistsStep(platform, name, present)) return failure;
  if (!present) return std::nullopt;
  return FileStep(platform, [&] { return platform.RemoveFile(name); });
}

}  // namespace

OpResult RemoveSettingsBackup(PlatformOps& platform) { return RemoveIfPresent(platform, kSettingsBackup); }

OpResult RemoveWorkFile(PlatformOps& platform) { return RemoveIfPresent(platform, kWorkFile); }

}  // namespace kestrane
