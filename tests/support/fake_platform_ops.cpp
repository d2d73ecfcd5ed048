#include "tests/support/fake_platform_ops.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "platform/program_paths.h"

namespace kestrane {
namespace {

// The operation that the sweep's name of a fallible step stands for.
Operation OperationOf(std::string_view op) {
  if (op == "Copy" || op == "Resize" || op == "Rewrite") return Operation::Copy;
  if (op == "Read") return Operation::Read;
  if (op == "Write") return Operation::Write;
  if (op == "Delete") return Operation::Delete;
  if (op == "Exists" || op == "Stamp") return Operation::Query;
  if (op == "Start") return Operation::Start;
  if (op == "SetWorkingFolder") return Operation::UseFolder;
  if (op == "Probe") return Operation::CheckFolder;
  if (op == "ProbeWrite") return Operation::OpenForWriting;
  return Operation::None;
}

// Windows' own words for the errors the fake gives, some with an insert, as FormatMessage has them.
std::string WindowsText(std::uint32_t error) {
  switch (error) {
    case 2: return "The system cannot find the file specified.";
    case 3: return "The system cannot find the path specified.";
    case 5: return "Access is denied.";
    case 21: return "The device is not ready.";
    case 32: return "The process cannot access the file because it is being used by another process.";
    case 193: return "%1 is not a valid Win32 application.";
    case 740: return "The requested operation requires elevation.";
    case 1260: return "This program is blocked by group policy. For more information, contact your system administrator.";
    default: return "Refused.";
  }
}

// As the Win32 layer reports a failure: the operation, the whole path, Windows' error with
// its inserts filled from the path.
Failure WindowsFailure(Operation operation, Detail detail, std::string path, std::uint32_t error, std::string text = {}) {
  if (text.empty()) text = FillMessageInserts(WindowsText(error), path);
  Failure failure{operation, {{detail, std::move(path)}}, error, std::move(text)};
  failure.kind = KindOfWindowsError(error);
  return failure;
}

bool IsBareName(std::string_view name) { return name.find_first_of("\\/:") == std::string_view::npos; }

Failure NotFound(Operation operation, Detail detail, std::string path) {
  return WindowsFailure(operation, detail, std::move(path), 2, "Not found.");
}

bool IsAbsolute(std::string_view name) {
  return (name.size() >= 2 && name[1] == ':') || name.starts_with('\\') || name.starts_with('/');
}

}  // namespace

FakePlatformOps::FakePlatformOps() = default;

std::string FakePlatformOps::Resolve(std::string_view name) const {
  return IsAbsolute(name) ? WithOneSeparator(name) : WithOneSeparator(JoinPath(workingFolder_, name));
}

void FakePlatformOps::Record(std::string op, std::vector<std::string> args) {
  calls_.push_back({nowMs_, std::move(op), std::move(args)});
}

void FakePlatformOps::FailOn(std::string op, std::string subject, std::uint32_t error) {
  failures_.push_back({std::move(op), std::move(subject), error});
}

void FakePlatformOps::TamperWithWrite(std::string path, std::function<void(std::string&)> change) {
  tampering_[std::move(path)] = std::move(change);
}

void FakePlatformOps::ScriptRun(std::string commandLine, FakeRunScript script) {
  scripts_[std::move(commandLine)] = std::move(script);
}

OpResult FakePlatformOps::InjectedFailure(std::string_view op, std::string_view subject) {
  const auto it = std::ranges::find_if(failures_, [&](const auto& f) { return f.op == op && f.subject == subject; });
  if (it == failures_.end()) return std::nullopt;
  Failure failure = WindowsFailure(OperationOf(op), op == "Start" ? Detail::CommandLine : Detail::File,
                                   op == "Start" ? std::string(subject) : Resolve(subject), it->error, "Injected failure.");
  failures_.erase(it);
  return failure;
}

void FakePlatformOps::Store(std::string_view name, std::string bytes) {
  const std::string path = Resolve(name);
  history_[path].push_back(bytes);
  files_[path] = {std::move(bytes), ++writeCount_};
}

// As the real copies and writes: a flushed temporary, then a move into place, with a crash
// point between the two.
void FakePlatformOps::StoreWhole(std::string_view name, std::string bytes) {
  const std::string temporary = TemporaryCopyName(Resolve(name));
  Store(temporary, bytes);
  CrashPoint();
  Store(name, std::move(bytes));
  Erase(temporary);
}

void FakePlatformOps::Erase(std::string_view name) {
  const std::string path = Resolve(name);
  readOnly_.erase(path);  // the mark goes with the file
  if (files_.erase(path)) history_[path].push_back(std::nullopt);
}

void FakePlatformOps::CrashPoint() {
  if (++crashPoints_ != crashAt_) return;
  EndRunsThatEndWithTheProgram();
  throw Crashed{crashPoints_};
}

// A job's processes end with the program that holds the job, however it ends.
void FakePlatformOps::EndRunsThatEndWithTheProgram() {
  for (auto& run : runs_)
    if (run.endsWithProgram && !run.exitCode) run.exitCode = 1;
}

void FakePlatformOps::ApplyFileFault(Fault fault, std::string_view file) {
  switch (fault) {
    case Fault::HeldSharingReadWrite: HoldFile(file, -1, Hold::SharingReadWrite); break;
    case Fault::HeldSharingAll: HoldFile(file, -1, Hold::SharingAll); break;
    case Fault::HeldMapped: HoldFile(file, -1, Hold::Mapped); break;
    case Fault::ReadOnly:
      if (files_.contains(Resolve(file))) MarkReadOnly(file, true);
      break;
    default: break;
  }
}

void FakePlatformOps::EndCausesThePlayerCanEnd() {
  activeFault_.reset();
  folderGone_ = false;
  if (folderWrites_ == FolderWrites::WriteProtected) folderWrites_ = FolderWrites::Allowed;
  std::erase_if(held_, [](const auto& entry) { return entry.second.untilMs < 0; });
  std::erase_if(readOnly_, [](const auto& entry) { return entry.second; });
}

OpResult FakePlatformOps::Fallible(std::string_view op, std::string_view subject, std::string_view file) {
  CrashPoint();
  fallibleOps_.push_back(std::string(op) + " " + std::string(subject));
  if (++fallibleCount_ == faultAt_) {
    activeFault_ = ActiveFault{std::string(op), std::string(subject), fault_, nowMs_};
    ApplyFileFault(fault_, file.empty() ? subject : file);
    if (fault_ == Fault::FolderGone) folderGone_ = true;
    if (fault_ == Fault::PendingDeletion) {
      ApplyPendingDeletion(op, file.empty() ? subject : file);
      activeFault_.reset();
    }
  }
  // A folder whose drive is gone: no name in it can be reached, whatever the operation.
  if (folderGone_ && op != "Start" && op != "SetWorkingFolder" && (IsBareName(subject) || Resolve(subject).starts_with(WithOneSeparator(appFolder_) + "\\"))) {
    Failure failure = WindowsFailure(OperationOf(op), Detail::File, Resolve(subject), 3);
    if (OperationOf(op) == Operation::Query) failure.kind = FailureKind::DriveGone;  // as the Win32 layer tells it
    return failure;
  }
  if (!activeFault_ || activeFault_->op != op || activeFault_->subject != subject) return std::nullopt;
  std::uint32_t error = 0;
  switch (activeFault_->fault) {
    case Fault::InUseBriefly:
      if (nowMs_ >= activeFault_->sinceMs + 1000) {
        activeFault_.reset();
        return std::nullopt;
      }
      error = 32;
      break;
    case Fault::InUseForGood: error = 32; break;
    case Fault::AccessDenied: error = 5; break;
    case Fault::NotFound: error = 2; break;
    case Fault::DiskFull: error = 112; break;
    case Fault::DriveGone: error = 53; break;
    case Fault::QuotaExceeded: error = 1295; break;
    case Fault::NotReady: error = 21; break;
    case Fault::BlockedByPolicy: error = 1260; break;
    case Fault::NotAProgram: error = 193; break;
    case Fault::NeedsElevation: error = 740; break;
    default: return std::nullopt;  // the tool and client ways change the run, not its start
  }
  const bool start = op == "Start";
  const Detail detail = start ? Detail::Program : op == "SetWorkingFolder" || op == "Probe" ? Detail::Folder : Detail::File;
  const std::string where = start ? Resolve(*ProgramPathFor(subject, appFolder_, "C:\\Windows\\system32"))
                                  : Resolve(subject);
  Failure failure = WindowsFailure(OperationOf(op), detail, where, error);
  if (start) failure.details.emplace_back(Detail::CommandLine, std::string(subject));
  return failure;
}

bool FakePlatformOps::Pending(const std::string& path) const {
  const auto it = pendingDeletion_.find(path);
  return it != pendingDeletion_.end() && (it->second < 0 || nowMs_ < it->second);
}

void FakePlatformOps::PendDeletion(std::string_view name, std::int64_t untilMs) {
  Erase(name);
  pendingDeletion_[Resolve(name)] = untilMs;
}

// A scanner held the name's last handle when it was deleted: what a write makes first (its
// temporary), what a delete removes, or a name asked about that is not there.
void FakePlatformOps::ApplyPendingDeletion(std::string_view op, std::string_view file) {
  if (op == "Write" || op == "Copy") return PendDeletion(TemporaryCopyName(Resolve(file)), nowMs_ + 1000);
  if (op == "Delete" || !files_.contains(Resolve(file))) PendDeletion(file, nowMs_ + 1000);
}

// The Win32 layer finds a name listed in its folder that Windows will not describe, and tells
// it as in use, with Windows' own error.
OpResult FakePlatformOps::QueryRefusal(std::string_view op, std::string_view name) const {
  if (!Pending(Resolve(name))) return std::nullopt;
  Failure failure = WindowsFailure(OperationOf(op), Detail::File, Resolve(name), 5);
  failure.kind = FailureKind::InUse;
  return failure;
}

std::vector<std::optional<std::string>> FakePlatformOps::HistoryOf(std::string_view name) const {
  const auto it = history_.find(Resolve(name));
  return it == history_.end() ? std::vector<std::optional<std::string>>{} : it->second;
}

void FakePlatformOps::RunPendingEvents() {
  while (!scheduled_.empty()) {
    nowMs_ = std::max(nowMs_, scheduled_.begin()->first);
    auto event = std::move(scheduled_.begin()->second);
    scheduled_.erase(scheduled_.begin());
    event();
  }
}

std::vector<std::string> FakePlatformOps::FileNames() const {
  std::vector<std::string> names;
  for (const auto& [path, file] : files_) names.push_back(path);
  return names;
}

StartResult FakePlatformOps::StartProgram(std::string_view commandLine, int windowStyle, Containment containment) {
  Record("Start", {std::string(commandLine), std::to_string(windowStyle),
                   containment == Containment::Contained ? "contained" : "plain"});
  if (OpResult failure = InjectedFailure("Start", commandLine)) return {std::move(failure)};
  if (OpResult failure = Fallible("Start", commandLine)) return {std::move(failure)};
  runs_.push_back({});
  const auto index = runs_.size() - 1;
  runs_[index].startedMs = nowMs_;
  runs_[index].endsWithProgram = containment == Containment::Contained;
  auto script = scripts_.find(std::string(commandLine));
  std::optional<FakeRunScript> faulty;
  if (activeFault_ && activeFault_->op == "Start" && activeFault_->subject == commandLine) {
    const bool encode = commandLine.find("-e413") != std::string_view::npos;
    switch (activeFault_->fault) {
      case Fault::ToolFails:
        faulty = FakeRunScript{300, 1, encode ? std::function<void()>([this] {
          const std::string old = FileBytes("l2.ini").value_or("");
          Store("l2.ini", old.substr(0, old.size() / 2));
        }) : nullptr};
        break;
      case Fault::ToolWritesNothing: faulty = FakeRunScript{300, 0, nullptr}; break;
      case Fault::ToolHangs: faulty = FakeRunScript{-1, 0, nullptr}; break;
      case Fault::ClientNeverReady: faulty = FakeRunScript{-1, 0, nullptr, -1}; break;
      default: break;
    }
    activeFault_.reset();
  }
  // The command interpreter cannot work in a network folder: it runs in the Windows folder
  // instead, finds no tool there, and fails having written nothing.
  if (StartsInterpreter(commandLine) && IsNetworkFolder(workingFolder_)) faulty = FakeRunScript{300, 1, nullptr};
  if (script == scripts_.end() && !faulty) {
    runs_[index].exitCode = 0;
  } else {
    runs_[index].script = faulty ? *faulty : script->second;
    if (!faulty && script->second.atStart) script->second.atStart();
    if (runs_[index].script.durationMs >= 0)
      At(nowMs_ + runs_[index].script.durationMs, [this, index, end = runs_[index].script] {
        if (runs_[index].exitCode) return;  // stopped before it got there
        if (end.work) {
          runs_[index].exitCode = end.work();
          return;
        }
        if (end.atEnd) end.atEnd();
        runs_[index].exitCode = end.exitCode;
      });
  }
  CrashPoint();  // cut short while the program it started runs
  return {std::nullopt, static_cast<RunId>(index + 1)};
}

std::optional<std::uint32_t> FakePlatformOps::ExitCodeOf(RunId run) {
  const auto index = static_cast<size_t>(run) - 1;
  return index < runs_.size() ? runs_[index].exitCode : std::nullopt;
}

bool FakePlatformOps::StopRun(RunId run) {
  Record("StopRun", {std::to_string(static_cast<int>(run))});
  const auto index = static_cast<size_t>(run) - 1;
  if (index >= runs_.size() || runs_[index].exitCode) return true;
  if (!runs_[index].script.stoppable) return false;
  runs_[index].exitCode = 1;
  return true;
}

Readiness FakePlatformOps::ReadinessOf(RunId run) {
  const auto index = static_cast<size_t>(run) - 1;
  if (index >= runs_.size() || runs_[index].exitCode || runs_[index].script.console) return Readiness::NoWait;
  const std::int64_t readyAfter = runs_[index].script.readyAfterMs;
  return readyAfter >= 0 && nowMs_ >= runs_[index].startedMs + readyAfter ? Readiness::Ready : Readiness::Starting;
}

void FakePlatformOps::HoldFile(std::string_view name, std::int64_t untilMs, Hold how) {
  held_[Resolve(name)] = {how, untilMs};
}

const FakePlatformOps::Held* FakePlatformOps::HoldOn(std::string_view name) const {
  const auto held = held_.find(Resolve(name));
  if (held == held_.end() || (held->second.untilMs >= 0 && nowMs_ >= held->second.untilMs)) return nullptr;
  return &held->second;
}

// As the Win32 layer reports them: a read-only mark is write-protection; a hold that
// refuses the access is "in use" (Windows says "access denied" for an open file it will not
// replace or delete, and the Win32 layer finds out why).
OpResult FakePlatformOps::Refusal(std::string_view name, Access access) const {
  const auto failed = [&](std::uint32_t error) -> OpResult {
    return WindowsFailure(Operation::None, Detail::File, Resolve(name), error,
                          error == 5 ? "Access is denied." : "In use.");
  };
  if (access != Access::Read && readOnly_.contains(Resolve(name)) && files_.contains(Resolve(name))) return failed(5);
  const Held* held = HoldOn(name);
  if (!held) return std::nullopt;
  // An open is refused as a sharing violation; a replace or delete of a file another program
  // has open, whatever its sharing, as access denied, which the Win32 layer tells as in use.
  const auto refusedAsDenied = [&]() -> OpResult {
    if (access == Access::Read || access == Access::WriteInPlace) return failed(32);
    OpResult denied = failed(5);
    denied->kind = FailureKind::InUse;
    return denied;
  };
  switch (held->how) {
    case Hold::NoSharing: return refusedAsDenied();
    case Hold::SharingReadWrite:
    case Hold::Mapped: return access == Access::Replace || access == Access::Delete ? refusedAsDenied() : std::nullopt;
    case Hold::SharingAll: return access == Access::Replace ? refusedAsDenied() : std::nullopt;
  }
  return std::nullopt;
}

// The length first, then the bytes: a mapped file refuses a shorter length and keeps every
// byte; a write that fails after that leaves the file changed, and says so.
OpResult FakePlatformOps::RewriteInPlace(std::string_view destination, const std::string& bytes) {
  if (OpResult failure = Fallible("Resize", destination)) return failure;
  std::string current = FileBytes(destination).value_or("");
  const Held* held = HoldOn(destination);
  if (held && held->how == Hold::Mapped && bytes.size() < current.size()) {
    return WindowsFailure(Operation::Copy, Detail::To, Resolve(destination), 1224, "Mapped.");
  }
  current.resize(bytes.size(), '\0');
  Store(destination, current);
  if (OpResult failure = Fallible("Rewrite", destination)) {
    Store(destination, bytes.substr(0, bytes.size() / 2) + current.substr(bytes.size() / 2));
    failure->mayBeDamaged = true;
    return failure;
  }
  Store(destination, bytes);
  return std::nullopt;
}

OpResult FakePlatformOps::CopyOver(std::string_view source, std::string_view destination) {
  Record("Copy", {std::string(source), std::string(destination)});
  if (OpResult failure = InjectedFailure("Copy", source)) return failure;
  if (OpResult failure = Fallible("Copy", source, destination)) return failure;
  if (OpResult failure = Refusal(source, Access::Read)) return failure;
  const auto it = files_.find(Resolve(source));
  if (it == files_.end()) return NotFound(Operation::Copy, Detail::From, Resolve(source));
  const std::string bytes = it->second.bytes;
  if (const auto error = FolderRefusalOf(TemporaryCopyName(Resolve(destination)), true))
    return WindowsFailure(Operation::Copy, Detail::To, Resolve(destination), error);
  for (const auto& name : {TemporaryCopyName(Resolve(destination)), Resolve(destination)})
    if (OpResult pending = QueryRefusal("Copy", name)) return pending;
  if (OpResult refused = Refusal(destination, Access::Replace)) {
    const Held* held = HoldOn(destination);
    const bool writable = held && held->how != Hold::NoSharing && !Refusal(destination, Access::WriteInPlace);
    if (refused->kind != FailureKind::InUse || !writable) return refused;
    return RewriteInPlace(destination, bytes);
  }
  StoreWhole(destination, bytes);
  return std::nullopt;
}

OpResult FakePlatformOps::RemoveFile(std::string_view name) {
  Record("Delete", {std::string(name)});
  if (OpResult failure = InjectedFailure("Delete", name)) return failure;
  if (OpResult failure = Fallible("Delete", name)) return failure;
  if (OpResult pending = QueryRefusal("Delete", name)) return pending;
  if (files_.contains(Resolve(name)))
    if (const auto error = FolderRefusalOf(Resolve(name), false))
      return WindowsFailure(Operation::Delete, Detail::File, Resolve(name), error);
  if (OpResult failure = Refusal(name, Access::Delete)) return failure;
  Erase(name);  // a file that is already gone counts as deleted
  return std::nullopt;
}

ExistsResult FakePlatformOps::FileExists(std::string_view path) {
  Record("Exists", {std::string(path)});
  if (OpResult failure = InjectedFailure("Exists", path)) return {std::move(failure)};
  if (OpResult failure = Fallible("Exists", path)) return {std::move(failure)};
  if (OpResult pending = QueryRefusal("Exists", path)) return {std::move(pending)};
  return {std::nullopt, files_.contains(Resolve(path))};
}

StampResult FakePlatformOps::StampOf(std::string_view path) {
  Record("Stamp", {std::string(path)});
  if (OpResult failure = InjectedFailure("Stamp", path)) return {std::move(failure)};
  if (OpResult failure = Fallible("Stamp", path)) return {std::move(failure)};
  if (OpResult pending = QueryRefusal("Stamp", path)) return {std::move(pending)};
  const auto it = files_.find(Resolve(path));
  if (it == files_.end()) return {};
  return {std::nullopt, FileStamp{it->second.bytes.size(), it->second.writeTime}};
}

ReadResult FakePlatformOps::ReadBytes(std::string_view path) {
  Record("Read", {std::string(path)});
  if (OpResult failure = InjectedFailure("Read", path)) return {std::move(failure)};
  if (OpResult failure = Fallible("Read", path)) return {std::move(failure)};
  if (OpResult pending = QueryRefusal("Read", path)) return {std::move(pending)};
  if (OpResult failure = Refusal(path, Access::Read)) return {std::move(failure)};
  const auto bytes = FileBytes(path);
  if (!bytes) return {NotFound(Operation::Read, Detail::File, Resolve(path))};
  return {std::nullopt, *bytes};
}

OpResult FakePlatformOps::WriteBytes(std::string_view path, std::string_view bytes, Overwrite overwrite) {
  Record("Write", {std::string(path)});
  if (OpResult failure = InjectedFailure("Write", path)) return failure;
  if (OpResult failure = Fallible("Write", path)) return failure;
  if (overwrite == Overwrite::Never && files_.contains(Resolve(path))) {
    Failure failure = WindowsFailure(Operation::Write, Detail::File, Resolve(path), 183, "Already exists.");
    failure.kind = FailureKind::AlreadyExists;
    return failure;
  }
  if (const auto error = FolderRefusalOf(TemporaryCopyName(Resolve(path)), true))
    return WindowsFailure(Operation::Write, Detail::File, Resolve(path), error);
  for (const auto& name : {TemporaryCopyName(Resolve(path)), Resolve(path)})
    if (OpResult pending = QueryRefusal("Write", name)) {
      pending->details = {{Detail::File, Resolve(path)}};
      return pending;
    }
  if (OpResult failure = Refusal(path, Access::Replace)) return failure;
  std::string landed(bytes);
  if (const auto tamper = tampering_.extract(std::string(path))) tamper.mapped()(landed);
  StoreWhole(path, std::move(landed));
  return std::nullopt;
}

void FakePlatformOps::DiscardInterruptedCopy(std::string_view destination) {
  Record("DiscardInterruptedCopy", {std::string(destination)});
  Erase(TemporaryCopyName(Resolve(destination)));
}

OpResult FakePlatformOps::SetWorkingFolder(std::string_view folder) {
  Record("SetWorkingFolder", {std::string(folder)});
  if (OpResult failure = Fallible("SetWorkingFolder", folder)) return failure;
  workingFolder_ = WithOneSeparator(folder);
  if (workingFolder_.size() > 3 && workingFolder_.ends_with('\\')) workingFolder_.pop_back();
  return std::nullopt;
}

std::uint32_t FakePlatformOps::FolderRefusalOf(const std::string& path, bool creates) const {
  // As Windows counts and says it: UTF-16 characters; "path not found".
  if (!longPaths_ && Utf16Length(path) > kMaxPathLength) return 3;
  std::string folder = WithOneSeparator(appFolder_);
  if (!folder.ends_with('\\')) folder += '\\';
  if (!path.starts_with(folder)) return 0;
  switch (folderWrites_) {
    case FolderWrites::Allowed: return 0;
    case FolderWrites::Denied: return 5;
    case FolderWrites::Guarded: return creates ? 2 : 5;
    case FolderWrites::WriteProtected: return 19;
  }
  return 0;
}

// The check's own file, created new: a name that a file has, or one pending deletion (which
// Windows refuses to create as access denied), is passed over; what a create of the first
// free name meets is the folder's answer.
OpResult FakePlatformOps::ProbeFolder() {
  Record("Probe", {workingFolder_});
  OpResult failure = Fallible("Probe", workingFolder_);
  // Windows answers a create in a folder that is not there as "path not found", and the
  // folder itself cannot be found: its drive is gone.
  if (!failure && folderGone_) {
    failure = WindowsFailure(Operation::CheckFolder, Detail::Folder, workingFolder_, 3);
    failure->kind = FailureKind::DriveGone;
    return failure;
  }
  for (int attempt = 1; !failure && attempt <= kFolderCheckNames; ++attempt) {
    const std::string path = Resolve(FolderCheckName(attempt));
    if (files_.contains(path) || Pending(path)) continue;
    if (const auto error = FolderRefusalOf(path, true))
      failure = WindowsFailure(Operation::CheckFolder, Detail::Folder, workingFolder_, error);
    break;
  }
  if (failure && failure->error == 5) failure->kind = FailureKind::FolderDenied;
  if (failure && (failure->error == 2 || failure->error == 3)) failure->kind = FailureKind::FolderGuarded;
  return failure;
}

OpResult FakePlatformOps::ProbeWrite(std::string_view path) {
  Record("ProbeWrite", {std::string(path)});
  if (OpResult failure = Fallible("ProbeWrite", path)) return failure;
  if (!files_.contains(Resolve(path))) return NotFound(Operation::OpenForWriting, Detail::File, Resolve(path));
  if (const auto error = FolderRefusalOf(Resolve(path), false))
    return WindowsFailure(Operation::OpenForWriting, Detail::File, Resolve(path), error);
  return Refusal(path, Access::WriteInPlace);
}

std::string FakePlatformOps::VirtualStoreFolder() { return VirtualStoreFolderFor(appFolder_, "C:", localAppData_); }

bool FakePlatformOps::MayBeRedirected(std::string_view program) {
  return !notRedirected_.contains(std::string(program));
}

std::string FakePlatformOps::RedirectedFor(std::string_view program, std::string_view name) const {
  const std::string store = VirtualStoreFolderFor(appFolder_, "C:", localAppData_);
  if (!store.empty() && !notRedirected_.contains(std::string(program)) && files_.contains(WithOneSeparator(JoinPath(store, name))))
    return WithOneSeparator(JoinPath(store, name));
  return Resolve(name);
}

std::uint32_t FakePlatformOps::WriteRefusalFor(std::string_view name) const {
  const std::string path = Resolve(name);
  if (const auto error = FolderRefusalOf(path, !files_.contains(path))) return error;
  if (Pending(path) || Pending(TemporaryCopyName(path))) return 5;
  if (OpResult refused = Refusal(name, Access::WriteInPlace)) return refused->error;
  return 0;
}

void FakePlatformOps::At(std::int64_t atMs, std::function<void()> event) {
  scheduled_.emplace(atMs, std::move(event));
}

void FakePlatformOps::RestartTimerIfArmed() {
  if (timerEnabled_ && timerInterval_ > 0) timerStartWallMs_ = nowMs_ + asleepMs_;
}

// Nothing runs while the machine sleeps: the programs and the holds keep their awake time.
// The window's timer counts the time asleep, so one that fell due then ticks on waking.
void FakePlatformOps::SleepAt(std::int64_t atMs, std::int64_t forMs) {
  At(atMs, [this, forMs] {
    Record("Sleep", {std::to_string(forMs)});
    asleepMs_ += forMs;
  });
}

// Moves the clock to the next thing that would wake the real message loop: the timer's
// tick or a scheduled event. With neither pending, the real loop would block for ever;
// a caller that keeps asking then would hang, so that is reported as a test failure.
void FakePlatformOps::DoEvents() {
  ++doEventsCount_;
  const bool timerArmed = timerEnabled_ && timerInterval_ > 0;
  const std::int64_t tickAt = timerArmed ? std::max(nowMs_, timerStartWallMs_ + timerInterval_ - asleepMs_)
                                         : std::numeric_limits<std::int64_t>::max();
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
  timerStartWallMs_ = nowMs_ + asleepMs_;  // the timer is periodic until its handler stops it
  Record("Tick", {});
  if (tickHandler_) tickHandler_();
}

void FakePlatformOps::SetShutdownBlockReason(std::string_view reason) {
  Record("ShutdownBlockReason", {std::string(reason)});
  blockReason_ = reason;
}

void FakePlatformOps::ShowProgress(ProgressState state, std::int64_t done, std::int64_t total) {
  switch (state) {
    case ProgressState::None: progress_ = "none"; break;
    case ProgressState::Normal: progress_ = "normal " + std::to_string(done) + "/" + std::to_string(total); break;
    case ProgressState::Waiting: progress_ = "waiting"; break;
    case ProgressState::Error: progress_ = "error"; break;
  }
  Record("Progress", {progress_});
}

void FakePlatformOps::SetWorkingCursor(bool working) {
  Record("Cursor", {working ? "working" : "arrow"});
  workingCursor_ = working;
}

BoxChoice FakePlatformOps::ShowErrorBox(const BoxMessage& box) {
  const bool offerRetry = box.offerRetry;
  Record("ErrorBox", {box.text, offerRetry ? "retry" : "ok", progress_,
                      files_.contains(Resolve("l2.bak")) ? "l2.bak there" : "no l2.bak",
                      box.icon == BoxIcon::Warning ? "warning" : "error", std::to_string(box.ownWords)});
  lastErrorText_ = box.text;
  const auto answered = [this](BoxChoice answer) {
    calls_.back().args.push_back(answer == BoxChoice::Retry ? "answered retry" : "answered cancel");
    return answer;
  };
  if (!offerRetry) {
    calls_.back().args.push_back("ok");
    return BoxChoice::Close;
  }
  // A player gives up on a Retry that never helps.
  if (answers_.empty() || ++retryBoxes_ > kRetriesBeforeGivingUp) return answered(BoxChoice::Close);
  const BoxChoice answer = answers_.front();
  if (answers_.size() > 1 || !keepLastAnswer_) answers_.erase(answers_.begin());
  if (answer == BoxChoice::Retry) EndCausesThePlayerCanEnd();  // the player dealt with the cause
  return answered(answer);
}

std::string FakePlatformOps::ButtonName(BoxChoice button) {
  return button == BoxChoice::Retry ? retryCaption_ : cancelCaption_;
}

void FakePlatformOps::EndProgram(int exitCode) {
  Record("End", {std::to_string(exitCode)});
  EndRunsThatEndWithTheProgram();
  ended_ = true;
  throw ProgramEnded{exitCode != 0, lastErrorText_};
}

std::string FakePlatformOps::AppFolder() {
  Record("AppFolder", {});
  return appFolder_;
}

bool FakePlatformOps::PreviousInstance() {
  Record("PreviousInstance", {});
  return previousInstance_;
}

void FakePlatformOps::BringEarlierBoxForward() {
  Record("BringEarlierBoxForward", {});
  earlierBoxInFront_ = previousInstance_ && earlierShowsBox_;
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

void FakePlatformOps::PutFile(std::string_view name, std::string bytes) { Store(name, std::move(bytes)); }

std::optional<std::string> FakePlatformOps::FileBytes(std::string_view name) const {
  const auto it = files_.find(Resolve(name));
  if (it == files_.end()) return std::nullopt;
  return it->second.bytes;
}

std::vector<PlatformCall> FakePlatformOps::CallsOf(std::initializer_list<std::string_view> ops) const {
  std::vector<PlatformCall> out;
  for (const auto& call : calls_)
    if (std::ranges::find(ops, call.op) != ops.end()) out.push_back(call);
  return out;
}

}  // namespace kestrane
