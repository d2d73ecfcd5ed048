#pragma once

#include <map>
#include <sstream>
#include <string>

namespace kestrane::testing {

using IniContents = std::map<std::string, std::map<std::string, std::string>>;

// Sections, keys and values as Windows' readers see them: blank lines do not matter (Wine's
// writer drops them where Windows keeps them), and of two sections or two keys with one
// name the first counts, so a second "[URL]" can never pass for the first. A repeated
// section shows up as a section named "(repeated) URL".
inline IniContents ParseIni(const std::string& text) {
  IniContents contents;
  std::istringstream lines(text);
  std::string section;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = line.substr(1, line.find(']') - 1);
      if (contents.contains(section)) section = "(repeated) " + section;
      contents[section];
    } else if (const auto eq = line.find('='); eq != std::string::npos) {
      contents[section].emplace(line.substr(0, eq), line.substr(eq + 1));
    }
  }
  return contents;
}

}  // namespace kestrane::testing
