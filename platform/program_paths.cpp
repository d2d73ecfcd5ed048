#include "platform/program_paths.h"

#include <cctype>
#include <string>

namespace kestrane {
namespace {

// Appended, never prefixed: a prefix brings the library's out-of-line replace (GCC 14).
template <typename Char>
std::basic_string<Char> Joined(std::basic_string_view<Char> folder, std::basic_string_view<Char> name) {
  std::basic_string<Char> path(folder);
  if (!path.empty() && !path.ends_with(Char('\\')) && !path.ends_with(Char('/'))) path += Char('\\');
  path += name;
  return path;
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) { return Joined(folder, name); }

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) { return Joined(folder, name); }

namespace {

std::string_view ProgramOf(std::string_view commandLine) { return commandLine.substr(0, commandLine.find(' ')); }

}  // namespace

bool StartsInterpreter(std::string_view commandLine) { return ProgramOf(commandLine) == kInterpreterCommand; }

// The program's command lines name the interpreter or a program of the client's folder by its
// file name.
std::optional<std::string> ProgramPathFor(std::string_view commandLine, std::string_view appFolder,
                                          std::string_view systemFolder) {
  if (StartsInterpreter(commandLine)) {
    if (systemFolder.empty()) return std::nullopt;
    return JoinPath(systemFolder, kInterpreterFile);
  }
  return JoinPath(appFolder, ProgramOf(commandLine));
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

// A four-byte sequence is a pair of UTF-16 characters; continuation bytes count for nothing.
std::size_t Utf16Length(std::string_view utf8) {
  std::size_t length = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) length += byte >= 0xF0 ? 2 : 1;
  }
  return length;
}

bool PathTooLongFor(std::string_view folder, std::string_view name) {
  return Utf16Length(JoinPath(folder, name)) > kMaxPathLength;
}

std::string FolderCheckName(int attempt) { return "kestrane-check-" + std::to_string(attempt) + ".tmp"; }

std::string CaptionWithoutMark(std::string_view caption) {
  std::string plain;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') {
      plain += caption[i];
    } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
      plain += '&';
      ++i;
    } else if (!plain.empty() && plain.back() == '(' && i + 2 < caption.size() && caption[i + 2] == ')') {
      plain.pop_back();  // "(&R)": the whole mark goes
      i += 2;
    }
  }
  while (!plain.empty() && plain.back() == ' ') plain.pop_back();
  return plain;
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

}  // namespace

bool IsNetworkFolder(std::string_view folder) {
  if (folder.size() < 2 || !IsSeparator(folder[0]) || !IsSeparator(folder[1])) return false;
  const bool devicePath = folder.size() >= 4 && (folder[2] == '?' || folder[2] == '.') && IsSeparator(folder[3]);
  return !devicePath || !HasDrive(folder.substr(4));
}

std::string VirtualStoreFolderFor(std::string_view appFolder, std::string_view systemDrive,
                                  std::string_view localAppData) {
  if (!HasDrive(appFolder) || !HasDrive(systemDrive) || localAppData.empty()) return {};
  if (std::toupper(static_cast<unsigned char>(appFolder[0])) != std::toupper(static_cast<unsigned char>(systemDrive[0])))
    return {};
  std::string_view rest = appFolder.substr(2);
  while (!rest.empty() && IsSeparator(rest.front())) rest.remove_prefix(1);
  return JoinPath(JoinPath(localAppData, "VirtualStore"), rest);
}

std::string WithOneSeparator(std::string_view path) {
  std::string out;
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c == '\\' && out.size() > 1 && out.back() == '\\') continue;
    out.push_back(c);
  }
  return out;
}

std::string FillMessageInserts(std::string_view message, std::string_view subject) {
  std::string filled;
  for (size_t at = 0; at < message.size(); ++at) {
    const bool insert = message[at] == '%' && at + 1 < message.size() && message[at + 1] >= '1' && message[at + 1] <= '9';
    if (!insert) {
      filled.push_back(message[at]);
      continue;
    }
    if (subject.empty()) return {};
    ++at;
    while (at + 1 < message.size() && message[at + 1] >= '0' && message[at + 1] <= '9') ++at;
    if (at + 1 < message.size() && message[at + 1] == '!') {  // a format: "%1!s!"
      const size_t close = message.find('!', at + 2);
      if (close != std::string_view::npos) at = close;
    }
    filled += subject;
  }
  return filled;
}

}  // namespace kestrane
