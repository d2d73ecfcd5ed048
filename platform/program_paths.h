#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The executable that a command line starts: the system's command interpreter from the
// system folder, any other bare name from the program's own folder. Never the usual
// search, which would take a "cmd.exe" planted beside the program first. Empty when the
// system folder is unknown: a bare "cmd.exe" would be found in the client's folder.
std::optional<std::string> ProgramPathFor(std::string_view commandLine, std::string_view appFolder,
                           std::string_view systemFolder);

// The folder of a module's full path: no trailing separator except at a drive root.
std::string FolderOfModulePath(std::string_view modulePath);

// Where a copy onto destination writes before it replaces destination in one step.
std::string TemporaryCopyName(std::string_view destination);

}  // namespace kestrane
