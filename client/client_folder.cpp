#include "client/client_folder.h"

#include "app/failure_report.h"
#include "client/client_files.h"
#include "platform/program_paths.h"

namespace kestrane {
namespace {

// The longest name Kestrane makes beside the client's files: the work copy's temporary.
std::string LongestNameMade() { return TemporaryCopyName(kWorkFile); }

// Causes that only the folder explains; any other error of the check is the file's to tell.
bool IsTheFoldersCause(FailureKind kind) {
  switch (kind) {
    case FailureKind::FolderDenied:
    case FailureKind::FolderGuarded:
    case FailureKind::MediaWriteProtected:
    case FailureKind::PathTooLong:
    case FailureKind::DriveGone:
    case FailureKind::QuotaExceeded:
    case FailureKind::DiskFull: return true;
    default: return false;
  }
}

Failure FolderCause(Box box, const std::string& folder) {
  Failure failure{Operation::CheckFolder, {{Detail::Folder, folder}}};
  failure.box = box;
  return failure;
}

// Windows redirects only 32-bit programs without an execution level in their manifest: a
// copy that neither the tool nor the client can be sent to is no cause.
bool AProgramMayBeRedirected(PlatformOps& platform) {
  return platform.MayBeRedirected(kClientProgram) || platform.MayBeRedirected(kEncoderTool);
}

}  // namespace

std::optional<Failure> FolderRefusal(PlatformOps& platform) {
  const std::string folder = platform.AppFolder();
  if (PathTooLongFor(folder, LongestNameMade())) {
    Failure failure = FolderCause(Box::FromKind, folder);
    failure.kind = FailureKind::PathTooLong;
    return failure;
  }
  OpResult probe = RetryWhileInUse(platform, [&] { return platform.ProbeFolder(); });
  if (!probe || !IsTheFoldersCause(probe->kind)) return std::nullopt;  // not the folder's doing, as far as it can tell
  Failure failure = FolderCause(Box::FromKind, folder);
  failure.error = probe->error;
  failure.errorText = probe->errorText;
  failure.kind = probe->kind;
  return failure;
}

OpResult CheckFolderBeforeTool(PlatformOps& platform) {
  const std::string folder = platform.AppFolder();
  if (IsNetworkFolder(folder)) return FolderCause(Box::NetworkFolder, folder);
  // Looked for first: such a copy exists only where the folder refuses programs' writes.
  if (const std::string store = platform.VirtualStoreFolder(); !store.empty() && AProgramMayBeRedirected(platform)) {
    for (const auto name : {kClientSettings, kWorkFile}) {
      const std::string copy = JoinPath(store, name);
      bool present = false;
      if (OpResult failure = ExistsStep(platform, copy, present)) return failure;
      if (present) {
        Failure failure = FolderCause(Box::RedirectedCopy, folder);
        failure.details.insert(failure.details.begin(), {Detail::Copy, copy});
        return failure;
      }
    }
  }
  if (OpResult failure = FileStep(platform, [&] { return FolderRefusal(platform); })) return failure;
  return FileStep(platform, [&] { return platform.ProbeWrite(kClientSettings); });
}

}  // namespace kestrane
