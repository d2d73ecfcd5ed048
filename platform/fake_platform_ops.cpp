#include "platform/fake_platform_ops.h"

#include <algorithm>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace kestrane {
namespace {

bool IsAbsolute(std::string_view name) {
  return (name.size() >= 2 && name[1] == ':') || name.starts_with('\\') || name.starts_with('/');
}

// One separator style, no doubled separators, so "C:\dir/temp.dat" and "C:\dir\temp.dat"
// name the same file, as they do on Windows.
std::string Normalize(std::string_view path) {
  std::string out;
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out.push_back(c);
  }
  return out;
}

std::string Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return std::string(s.substr(first, last - first + 1));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// A plain model of the initialization-file writer: replace the key's line in its
// section, or add the key at the section's end, or add the section at the file's end.
std::string SetIniValue(const std::string& text, std::string_view section, std::string_view key,
                        std::string_view value) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const std::string entry = std::string(key) + "=" + std::string(value);
  std::optional<size_t> sectionAt, insertAt;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string t = Trim(lines[i]);
    if (t.starts_with('[')) {
      if (sectionAt && !insertAt) insertAt = i;
      if (!sectionAt && t.ends_with(']') && EqualsNoCase(Trim(t.substr(1, t.size() - 2)), section))
        sectionAt = i;
      continue;
    }
    if (sectionAt && !insertAt) {
      const auto eq = t.find('=');
      if (eq != std::string::npos && EqualsNoCase(Trim(t.substr(0, eq)), key)) {
        lines[i] = entry;
        sectionAt.reset();
        insertAt = std::numeric_limits<size_t>::max();  // replaced in place
        break;
      }
    }
  }
  if (!insertAt && sectionAt) insertAt = lines.size();
  if (!insertAt) {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(entry);
  } else if (*insertAt != std::numeric_limits<size_t>::max()) {
    size_t at = *insertAt;
    while (at > *sectionAt + 1 && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
  }
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

}  // namespace

FakePlatformOps::FakePlatformOps() = default;

std::string FakePlatformOps::Resolve(std::string_view name) const {
  return IsAbsolute(name) ? Normalize(name) : Normalize(workingFolder_ + "\\" + std::string(name));
}

void FakePlatformOps::Record(std::string op, std::vector<std::string> args) {
  calls_.push_back({nowMs_, std::move(op), std::move(args)});
}

void FakePlatformOps::FailOn(std::string op, std::string subject) {
  failures_.emplace_back(std::move(op), std::move(subject));
}

void FakePlatformOps::FailIfInjected(std::string_view op, std::string_view subject) {
  const auto it = std::ranges::find_if(failures_, [&](const auto& f) { return f.first == op && f.second == subject; });
  if (it == failures_.end()) return;
  failures_.erase(it);
  const std::string report = std::string(op) + " failed: " + std::string(subject);
  Record("Failure", {report});
  ended_ = true;
  throw ProgramEnded{true, report};
}

void FakePlatformOps::StartProgram(std::string_view commandLine, int windowStyle) {
  Record("Start", {std::string(commandLine), std::to_string(windowStyle)});
  FailIfInjected("Start", commandLine);
}

void FakePlatformOps::CopyOver(std::string_view source, std::string_view destination) {
  Record("Copy", {std::string(source), std::string(destination)});
  FailIfInjected("Copy", source);
  const auto it = files_.find(Resolve(source));
  if (it == files_.end()) {
    const std::string report = "copy source missing: " + std::string(source);
    Record("Failure", {report});
    ended_ = true;
    throw ProgramEnded{true, report};
  }
  files_[Resolve(destination)] = it->second;
}

void FakePlatformOps::RemoveFile(std::string_view name) {
  Record("Delete", {std::string(name)});
  FailIfInjected("Delete", name);
  if (files_.erase(Resolve(name)) == 0) {
    const std::string report = "delete of a missing file: " + std::string(name);
    Record("Failure", {report});
    ended_ = true;
    throw ProgramEnded{true, report};
  }
}

bool FakePlatformOps::FileExists(std::string_view path) {
  Record("Exists", {std::string(path)});
  return files_.contains(Resolve(path));
}

bool FakePlatformOps::WriteIniValue(std::string_view section, std::string_view key,
                                         std::string_view value, std::string_view path) {
  Record("WriteProfile", {std::string(section), std::string(key), std::string(value), std::string(path)});
  std::string& text = files_[Resolve(path)];
  text = SetIniValue(text, section, key, value);
  return true;
}

void FakePlatformOps::DiscardInterruptedCopy(std::string_view destination) {
  Record("DiscardInterruptedCopy", {std::string(destination)});
}

void FakePlatformOps::SetWorkingFolder(std::string_view folder) {
  Record("SetWorkingFolder", {std::string(folder)});
  workingFolder_ = Normalize(folder);
  if (workingFolder_.size() > 3 && workingFolder_.ends_with('\\')) workingFolder_.pop_back();
}

void FakePlatformOps::At(std::int64_t atMs, std::function<void()> event) {
  scheduled_.emplace(atMs, std::move(event));
}

void FakePlatformOps::RestartTimerIfArmed() {
  if (timerEnabled_ && timerInterval_ > 0) timerStartMs_ = nowMs_;
}

// Moves the clock to the next thing that would wake the real message loop: the timer's
// tick or a scheduled event. With neither pending, the real loop would block for ever;
// a caller that keeps asking then would hang, so that is reported as a test failure.
void FakePlatformOps::DoEvents() {
  ++doEventsCount_;
  const bool timerArmed = timerEnabled_ && timerInterval_ > 0;
  const std::int64_t tickAt = timerArmed ? timerStartMs_ + timerInterval_ : std::numeric_limits<std::int64_t>::max();
  const std::int64_t eventAt = scheduled_.empty() ? std::numeric_limits<std::int64_t>::max() : scheduled_.begin()->first;
  if (!timerArmed && scheduled_.empty()) {
    if (++idlePasses_ > 100000) throw std::logic_error("DoEvents called again and again with nothing pending");
    return;
  }
  idlePasses_ = 0;
  if (eventAt <= tickAt) {
    nowMs_ = std::max(nowMs_, eventAt);
    auto event = std::move(scheduled_.begin()->second);
    scheduled_.erase(scheduled_.begin());
    event();
    return;
  }
  nowMs_ = tickAt;
  timerStartMs_ = nowMs_;  // the timer is periodic until its handler stops it
  Record("Tick", {});
  if (tickHandler_) tickHandler_();
}

void FakePlatformOps::EndProgram() {
  Record("End", {});
  ended_ = true;
  throw ProgramEnded{};
}

std::string FakePlatformOps::AppFolder() {
  Record("AppFolder", {});
  return appFolder_;
}

bool FakePlatformOps::PreviousInstance() {
  Record("PreviousInstance", {});
  return previousInstance_;
}

void FakePlatformOps::SetButtonEnabled(ButtonId button, bool enabled) {
  Record("SetButtonEnabled", {std::to_string(static_cast<int>(button) + 1), enabled ? "true" : "false"});
  buttons_[static_cast<int>(button)] = enabled;
}

bool FakePlatformOps::ButtonEnabled(ButtonId button) const { return buttons_[static_cast<int>(button)]; }

void FakePlatformOps::SetTimerInterval(std::int32_t milliseconds) {
  Record("SetTimerInterval", {std::to_string(milliseconds)});
  timerInterval_ = milliseconds;
  RestartTimerIfArmed();
}

std::int32_t FakePlatformOps::TimerInterval() const { return timerInterval_; }

void FakePlatformOps::SetTimerEnabled(bool enabled) {
  Record("SetTimerEnabled", {enabled ? "true" : "false"});
  const bool wasEnabled = timerEnabled_;
  timerEnabled_ = enabled;
  if (!wasEnabled) RestartTimerIfArmed();
}

bool FakePlatformOps::TimerEnabled() const { return timerEnabled_; }

void FakePlatformOps::PutFile(std::string_view name, std::string bytes) { files_[Resolve(name)] = std::move(bytes); }

std::optional<std::string> FakePlatformOps::FileBytes(std::string_view name) const {
  const auto it = files_.find(Resolve(name));
  if (it == files_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> FakePlatformOps::FileNames() const {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files_) names.push_back(name);
  return names;
}

std::vector<PlatformCall> FakePlatformOps::CallsOf(std::initializer_list<std::string_view> ops) const {
  std::vector<PlatformCall> out;
  for (const auto& call : calls_)
    if (std::ranges::find(ops, call.op) != ops.end()) out.push_back(call);
  return out;
}

}  // namespace kestrane
