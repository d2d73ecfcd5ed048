#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// name inside folder: one separator between them, none added after an empty folder.
std::string JoinPath(std::string_view folder, std::string_view name);
// The same for the wide paths that Windows takes, which need not be valid UTF-16.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// The system's command interpreter: the name a command line starts it by, and its file.
inline constexpr std::string_view kInterpreterCommand = "cmd";
inline constexpr std::string_view kInterpreterFile = "cmd.exe";
// Whether commandLine runs the command interpreter.
bool StartsInterpreter(std::string_view commandLine);

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

// The longest path Windows takes without its long-path opt-in, which older versions lack.
inline constexpr std::size_t kMaxPathLength = 259;
// Whether a file of that name inside folder would pass kMaxPathLength. Windows counts UTF-16
// characters, and the names here are UTF-8.
bool PathTooLongFor(std::string_view folder, std::string_view name);
// The length of a UTF-8 text in UTF-16 characters, as Windows counts a path.
std::size_t Utf16Length(std::string_view utf8);

// The name of a folder check's file, the attempt-th of one check (from 1 to
// kFolderCheckNames): a name another file has is passed over for the next.
inline constexpr int kFolderCheckNames = 8;
std::string FolderCheckName(int attempt);

// A button's caption as a sentence names it: without its keyboard mark ("&Retry", or the
// "(&R)" that East Asian captions end with); "&&" stays one "&".
std::string CaptionWithoutMark(std::string_view caption);

// A message of Windows with its inserts ("%1", "%2!s!") filled with subject; empty where it
// has inserts and there is no subject, rather than a line that shows "%1".
std::string FillMessageInserts(std::string_view message, std::string_view subject);

// One kind of separator and none doubled, so that "C:\dir/temp.dat" and "C:\dir\\temp.dat"
// read as "C:\dir\temp.dat", as Windows reads them; a network path keeps its leading two.
std::string WithOneSeparator(std::string_view path);

// A folder named by its network path (\\server\share\...), which the system's command
// interpreter cannot work in; a drive letter behind "\\?\" or "\\.\" is local.
bool IsNetworkFolder(std::string_view folder);

// Where Windows keeps the redirected copies of files in appFolder: the VirtualStore folder of
// the user's local application data, then appFolder without its drive. Empty when appFolder
// is not on the system drive, or either folder is unknown.
std::string VirtualStoreFolderFor(std::string_view appFolder, std::string_view systemDrive,
                                  std::string_view localAppData);

}  // namespace kestrane
