#include "client/client_folder.h"

#include "app/failure_report.h"
#include "client/client_files.h"
#include "platform/program_paths.h"

namespace kestrane {
namespace {

// The longest name Kestrane makes beside the client's files: the work copy's temporary.
std::string LongestNameMade() { return TemporaryCopyName(kWorkFile); }

std::string SummaryFor(FailureKind kind) {
  switch (kind) {
    case FailureKind::FolderDenied: return "Windows does not let Kestrane write in its folder.";
    case FailureKind::FolderGuarded: return "Windows' ransomware protection keeps Kestrane from making files in its folder.";
    case FailureKind::MediaWriteProtected: return "The disk that holds Kestrane's folder is write-protected.";
    case FailureKind::PathTooLong: return "The path of Kestrane's folder is too long for the files it makes there.";
    case FailureKind::DriveGone: return "The drive or network folder that holds Kestrane's folder is not reachable.";
    case FailureKind::QuotaExceeded: return "Your disk quota is used up, so Kestrane cannot make files in its folder.";
    case FailureKind::DiskFull: return "The disk that holds Kestrane's folder is full.";
    default: return {};
  }
}

Failure NetworkFolder(const std::string& folder, const std::string& standing) {
  Failure failure{"Kestrane's folder is a network folder, where the settings tool cannot run."};
  failure.details.emplace_back("Folder", folder);
  failure.advice = "Windows' command interpreter, which runs the settings tool, cannot work in a folder named by its "
                   "network path. Map the network folder to a drive letter (Explorer, This PC, Map network drive) "
                   "and start Kestrane from that drive, or copy the game to a local disk. " + standing;
  return failure;
}

Failure RedirectedCopy(const std::string& folder, const std::string& copy, const std::string& standing) {
  Failure failure{"Windows keeps a copy of the game's files outside its folder, and the game client and the "
                  "settings tool use that copy instead of the folder's own."};
  failure.details.emplace_back("Copy", copy);
  failure.details.emplace_back("Folder", folder);
  failure.advice = "A mode would change the folder's l2.ini, which the client does not read. Move the game out of "
                   "Program Files to a folder of your own, such as C:\\Games; or, with the game client closed, "
                   "remove that copy (keep it elsewhere first if it holds settings you want: it is the one the "
                   "client has been using). " + standing;
  return failure;
}

}  // namespace

std::optional<Failure> FolderRefusal(PlatformOps& platform) {
  const std::string folder = platform.AppFolder();
  if (PathTooLongFor(folder, LongestNameMade())) {
    Failure failure{SummaryFor(FailureKind::PathTooLong)};
    failure.details.emplace_back("Folder", folder);
    failure.details.emplace_back("Problem", "with Kestrane's name " + LongestNameMade() + " it passes Windows' limit of " +
                                                std::to_string(kMaxPathLength) + " characters");
    failure.kind = FailureKind::PathTooLong;
    return failure;
  }
  OpResult probe = RetryWhileInUse(platform, [&] { return platform.ProbeFolder(); });
  if (!probe) return std::nullopt;
  Failure failure{SummaryFor(probe->kind)};
  failure.details.emplace_back("Folder", folder);
  failure.error = probe->error;
  failure.errorText = probe->errorText;
  if (failure.summary.empty()) return std::nullopt;  // not the folder's doing, as far as the probe can tell
  failure.kind = probe->kind;
  return failure;
}

OpResult CheckFolderBeforeTool(PlatformOps& platform) {
  const std::string folder = platform.AppFolder();
  if (IsNetworkFolder(folder)) return NetworkFolder(folder, WhereTheSettingsStand(platform));
  // Looked for first: such a copy exists only where the folder refuses programs' writes.
  if (const std::string store = platform.VirtualStoreFolder(); !store.empty()) {
    for (const auto name : {kClientSettings, kWorkFile}) {
      const std::string copy = store + (store.ends_with('\\') ? "" : "\\") + std::string(name);
      bool present = false;
      if (OpResult failure = ExistsStep(platform, copy, present)) return failure;
      if (present) return RedirectedCopy(folder, copy, WhereTheSettingsStand(platform));
    }
  }
  if (OpResult failure = FileStep(platform, [&] { return FolderRefusal(platform); })) return failure;
  return FileStep(platform, [&] {
    OpResult refused = platform.ProbeWrite(kClientSettings);
    if (refused) refused->summary = "The settings tool could not write l2.ini now.\n\n" + refused->summary;
    return refused;
  });
}

}  // namespace kestrane
