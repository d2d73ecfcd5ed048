#include "platform/program_paths.h"

namespace kestrane {
namespace {

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !path.ends_with('\\') && !path.ends_with('/')) path += '\\';
  return path + std::string(name);
}

}  // namespace

// The program's command lines name "cmd" or a program of the client's folder by its file name.
std::optional<std::string> ProgramPathFor(std::string_view commandLine, std::string_view appFolder,
                                          std::string_view systemFolder) {
  const std::string_view program = commandLine.substr(0, commandLine.find(' '));
  if (program == "cmd") {
    if (systemFolder.empty()) return std::nullopt;
    return JoinPath(systemFolder, "cmd.exe");
  }
  return JoinPath(appFolder, program);
}

std::string FolderOfModulePath(std::string_view modulePath) {
  const auto slash = modulePath.find_last_of("\\/");
  if (slash == std::string_view::npos) return {};
  std::string folder(modulePath.substr(0, slash));
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';  // "K:" alone would mean K's current folder
  return folder;
}

std::string TemporaryCopyName(std::string_view destination) {
  return std::string(destination) + ".kestrane-partial";
}

}  // namespace kestrane
