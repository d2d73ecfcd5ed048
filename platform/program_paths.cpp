#include "platform/program_paths.h"

#include <algorithm>
#include <cctype>

namespace kestrane {
namespace {

std::string_view FirstToken(std::string_view commandLine) {
  commandLine.remove_prefix(std::min(commandLine.find_first_not_of(' '), commandLine.size()));
  if (commandLine.starts_with('"')) {
    commandLine.remove_prefix(1);
    return commandLine.substr(0, commandLine.find('"'));
  }
  return commandLine.substr(0, commandLine.find(' '));
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::ranges::transform(out, out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !path.ends_with('\\') && !path.ends_with('/')) path += '\\';
  return path + std::string(name);
}

}  // namespace

std::optional<std::string> ProgramPathFor(std::string_view commandLine, std::string_view appFolder,
                                          std::string_view systemFolder) {
  const std::string_view program = FirstToken(commandLine);
  const std::string lower = Lower(program);
  if (lower == "cmd" || lower == "cmd.exe") {
    if (systemFolder.empty()) return std::nullopt;
    return JoinPath(systemFolder, "cmd.exe");
  }
  if (program.find_first_of("\\/:") != std::string_view::npos) return std::string(program);
  const bool hasExtension = program.find('.') != std::string_view::npos;
  return JoinPath(appFolder, hasExtension ? std::string(program) : std::string(program) + ".exe");
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
