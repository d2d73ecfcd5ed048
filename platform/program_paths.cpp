#include "platform/program_paths.h"

#include <cctype>
#include <string>

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
