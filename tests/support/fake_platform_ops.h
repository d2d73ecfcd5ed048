#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform_ops.h"

namespace kestrane {

// Thrown by the fake where the real program would end.
struct ProgramEnded {
  bool failed = false;
  std::string report;  // the last error box's text
};

// Thrown by the fake where a crash or a power loss cuts the program short.
struct Crashed {
  int at = 0;
};

// The ways another program holds a file, as Windows sees them. The holder reads it.
enum class Hold {
  NoSharing,         // nothing else may open it
  SharingReadWrite,  // others may read and write it, not replace or delete it
  SharingAll,        // others may delete it too (most virus scanners); it still cannot be replaced
  Mapped,            // mapped into memory, sharing reading and writing: it refuses a shorter length
};

// How the program's folder takes writes, as Windows treats them for the player.
enum class FolderWrites {
  Allowed,
  Denied,          // permissions (a game under Program Files): every create, change and delete is access denied
  Guarded,         // ransomware protection: a new file is refused as not found, a change as access denied
  WriteProtected,  // locked media: every create, change and delete is write-protected, until the player
                   // answers Retry (unlocks it)
};

// The ways a fallible operation is made to fail by the fault sweep. The first five apply
// to file operations and to starting a program (an existence query fails only as access
// denied); the held and read-only ways to the file an operation writes or reads, from that
// operation until the player answers Retry; the tool and client ways to those starts.
enum class Fault {
  InUseBriefly,   // held by another program for a second
  InUseForGood,   // held until the player acts (answers Retry)
  AccessDenied,
  NotFound,
  DiskFull,
  HeldSharingReadWrite,
  HeldSharingAll,
  HeldMapped,
  ReadOnly,
  DriveGone,      // the drive or network folder went away, until the player answers Retry (reconnects it)
  QuotaExceeded,
  FolderGone,     // the folder's drive went away: names in it are "path not found" (3), until Retry
  NotReady,       // the drive is not ready (21)
  PendingDeletion,  // the name the operation makes or asks about is still pending deletion, for a second
  BlockedByPolicy,  // a start refused by a policy (1260)
  NotAProgram,      // a start of a file that is no program (193)
  NeedsElevation,   // a start of a program that asks for administrator rights (740)
  ToolFails,          // the tool run ends with exit code 1, its output half written
  ToolWritesNothing,  // the tool run ends well but writes nothing
  ToolHangs,
  ClientNeverReady,
};

struct PlatformCall {
  std::int64_t atMs = 0;  // simulated time of the call
  std::string op;
  std::vector<std::string> args;
};

// How a started program behaves: it runs for durationMs, then does what atEnd does to
// the files and ends with exitCode. A run that never ends has durationMs < 0. A windowed
// program finishes starting readyAfterMs after its start (never when < 0); a console
// program never waits for input. A run that cannot be stopped goes on after StopRun.
struct FakeRunScript {
  std::int64_t durationMs = 0;
  std::uint32_t exitCode = 0;
  std::function<void()> atEnd;
  std::int64_t readyAfterMs = 0;
  bool console = false;
  bool stoppable = true;
  std::function<void()> atStart;
  // Where set, what the program does at its end instead of atEnd, and the code it ends with.
  std::function<std::uint32_t()> work;
};

// In-memory stand-in for Windows: files keyed by full path, every call recorded in
// order, a simulated clock that moves only when events are processed, programs whose
// runs take simulated time, and failures that can be injected per operation and file.
class FakePlatformOps final : public PlatformOps {
 public:
  FakePlatformOps();

  StartResult StartProgram(std::string_view commandLine, int windowStyle, Containment containment) override;
  std::optional<std::uint32_t> ExitCodeOf(RunId run) override;
  bool StopRun(RunId run) override;
  Readiness ReadinessOf(RunId run) override;
  OpResult CopyOver(std::string_view source, std::string_view destination) override;
  OpResult RemoveFile(std::string_view name) override;
  ExistsResult FileExists(std::string_view path) override;
  StampResult StampOf(std::string_view path) override;
  ReadResult ReadBytes(std::string_view path) override;
  OpResult WriteBytes(std::string_view path, std::string_view bytes, Overwrite overwrite) override;
  void DiscardInterruptedCopy(std::string_view destination) override;
  OpResult SetWorkingFolder(std::string_view folder) override;
  OpResult ProbeFolder() override;
  OpResult ProbeWrite(std::string_view path) override;
  std::string VirtualStoreFolder() override;
  bool MayBeRedirected(std::string_view program) override;
  void DoEvents() override;
  // The time the machine was awake: what the program's bounds count.
  std::int64_t NowMs() override { return nowMs_; }
  void SetShutdownBlockReason(std::string_view reason) override;
  void ShowProgress(ProgressState state, std::int64_t done, std::int64_t total) override;
  void SetWorkingCursor(bool working) override;
  // Recorded as "ErrorBox": the text, "retry" or "ok", the progress, whether l2.bak is there,
  // "error" or "warning", the count of Kestrane's own words, and the player's answer
  // ("answered retry", "answered cancel", "ok").
  BoxChoice ShowErrorBox(const BoxMessage& box) override;
  std::string ButtonName(BoxChoice button) override;
  DisplayLanguages UiLanguages() override { return displayLanguages_; }
  void SetDisplayLanguages(DisplayLanguages languages) { displayLanguages_ = std::move(languages); }
  [[noreturn]] void EndProgram(int exitCode = 0) override;
  std::string AppFolder() override;
  bool PreviousInstance() override;
  void BringEarlierBoxForward() override;
  void SetButtonEnabled(ButtonId button, bool enabled) override;
  bool ButtonEnabled(ButtonId button) const;
  void SetTimerInterval(std::int32_t milliseconds) override;
  std::int32_t TimerInterval() const override;
  void SetTimerEnabled(bool enabled) override;
  bool TimerEnabled() const;

  // Set-up and inspection for tests. Relative names resolve against the working folder.
  void PutFile(std::string_view name, std::string bytes);
  std::optional<std::string> FileBytes(std::string_view name) const;
  void SetAppFolder(std::string folder) { appFolder_ = std::move(folder); }
  // The program's folder and the working folder at once, as a start in that folder has them.
  void SetFolders(std::string folder) { appFolder_ = workingFolder_ = std::move(folder); }
  void SetFolderWrites(FolderWrites how) { folderWrites_ = how; }
  // The player has moved the game to a folder of their own: writes and long paths go.
  void LiftFolderCauses() {
    folderWrites_ = FolderWrites::Allowed;
    longPaths_ = true;
  }
  // As program sees name: the redirected copy where one is and Windows may redirect it.
  std::string RedirectedFor(std::string_view program, std::string_view name) const;
  // The Windows error a program meets when it writes name now (0 when it may): a path past
  // the limit, the folder's refusal, a read-only mark, a holder that shares nothing.
  std::uint32_t WriteRefusalFor(std::string_view name) const;
  // The buttons' captions as Windows gives them (English by default; empty: not given).
  void SetButtonCaptions(std::string retry, std::string cancel) {
    retryCaption_ = std::move(retry);
    cancelCaption_ = std::move(cancel);
  }
  // Another program deletes the file behind Kestrane's back.
  void RemoveBehindKestrane(std::string_view name) { Erase(name); }
  // A program with a manifest that names an execution level, or a 64-bit one: never redirected.
  void SetNeverRedirected(std::string program) { notRedirected_.insert(std::move(program)); }
  // A file whose deletion is pending (a scanner holds the last handle) until untilMs (for good
  // where < 0): it is gone, yet a query, open, create or rename of its name is refused as
  // access denied, which the Win32 layer tells as in use.
  void PendDeletion(std::string_view name, std::int64_t untilMs = -1);
  // Another copy runs; with showsBox, one of its boxes waits behind another program.
  void SetPreviousInstanceFlag(bool running, bool showsBox = false) {
    previousInstance_ = running;
    earlierShowsBox_ = showsBox;
  }
  bool EarlierBoxInFront() const { return earlierBoxInFront_; }
  const std::string& WorkingFolder() const { return workingFolder_; }
  // The next StartProgram, CopyOver, RemoveFile, WriteBytes, ReadBytes, FileExists or StampOf
  // of op ("Start", "Copy", "Delete", "Write", "Read", "Exists", "Stamp") whose first argument equals
  // subject fails with error (5 access denied, 32 in use, 112 disk full, 2 not found).
  void FailOn(std::string op, std::string subject, std::uint32_t error = 5);
  // The next write to path lands changed, as when something else touches the file.
  void TamperWithWrite(std::string path, std::function<void(std::string&)> change);
  // Another program holds the file the way given until the simulated clock reaches untilMs
  // (or, with untilMs < 0, until the player answers Retry): what Windows refuses then fails
  // as in use, and what it allows goes ahead.
  void HoldFile(std::string_view name, std::int64_t untilMs, Hold how = Hold::NoSharing);
  // The file's read-only mark: it cannot be written, replaced or deleted while it is set.
  // With untilRetry, the player clears it when answering Retry.
  void MarkReadOnly(std::string_view name, bool untilRetry = false) { readOnly_[Resolve(name)] = untilRetry; }
  // The player's answers to the error boxes that offer Retry, in order; Cancel after them.
  void AnswerErrorBoxes(std::vector<BoxChoice> answers) { answers_ = std::move(answers); }
  // A player answers Retry this often at most, then Cancel.
  static constexpr int kRetriesBeforeGivingUp = 20;
  // Every box that offers Retry is answered the same way.
  void AnswerEveryErrorBox(BoxChoice answer) {
    answers_ = {answer};
    keepLastAnswer_ = true;
  }
  const std::string& ShutdownBlockReason() const { return blockReason_; }
  // What the taskbar button shows now, as "none", "normal 5000/16000", "waiting", "error".
  std::string Progress() const { return progress_; }
  bool WorkingCursor() const { return workingCursor_; }
  // Programs started with this command line run as the script says; others end at once.
  void ScriptRun(std::string commandLine, FakeRunScript script);
  void SetTickHandler(std::function<void()> handler) { tickHandler_ = std::move(handler); }
  // Runs event as a window event once the simulated clock reaches atMs.
  void At(std::int64_t atMs, std::function<void()> event);
  // The machine sleeps for forMs once the awake clock reaches atMs (a lid closed).
  void SleepAt(std::int64_t atMs, std::int64_t forMs);

  // The fault sweep: fallible operations (Start, Copy, Delete, Write, Read, Exists,
  // SetWorkingFolder, and a copy's Resize and Rewrite where it goes in place) are counted
  // from 1 as they are made. The k-th one fails in the way given; a cause that lasts goes
  // away when the player answers Retry.
  void InjectFault(int k, Fault fault) {
    faultAt_ = k;
    fault_ = fault;
  }
  // No more faults: the causes of the earlier ones have gone too.
  void ClearFaults() {
    faultAt_ = crashAt_ = 0;
    activeFault_.reset();
    EndCausesThePlayerCanEnd();
  }
  // The program is cut short right before crash point k: each fallible operation is one,
  // and so is the moment between a write's flushed temporary and its move into place.
  void CrashBefore(int k) { crashAt_ = k; }
  int FallibleCount() const { return fallibleCount_; }
  int CrashPointCount() const { return crashPoints_; }
  // What the k-th fallible operation was, as "Copy l2.bak".
  const std::vector<std::string>& FallibleOps() const { return fallibleOps_; }
  // Every state a file went through: its bytes after each store, empty after a delete.
  std::vector<std::optional<std::string>> HistoryOf(std::string_view name) const;
  // Runs the scheduled events that are left (what the started programs still do). A run
  // started Contained ends with the program, as a job does; a Plain one goes on.
  void RunPendingEvents();
  // Names of the files that exist now.
  std::vector<std::string> FileNames() const;

  const std::vector<PlatformCall>& Calls() const { return calls_; }
  // The calls of the given operations only, in order.
  std::vector<PlatformCall> CallsOf(std::initializer_list<std::string_view> ops) const;
  int DoEventsCount() const { return doEventsCount_; }
  bool Ended() const { return ended_; }

 private:
  struct File {
    std::string bytes;
    std::int64_t writeTime = 0;
  };
  struct Run {
    std::optional<std::uint32_t> exitCode;
    std::int64_t startedMs = 0;
    FakeRunScript script;
    bool endsWithProgram = false;
  };
  struct Held {
    Hold how = Hold::NoSharing;
    std::int64_t untilMs = 0;  // < 0: until the player answers Retry
  };
  // What another program's hold or a read-only mark allows of a file.
  enum class Access { Read, Replace, Delete, WriteInPlace };
  // The error that the folder's state or the path's length gives to a create (or a change or
  // delete) of path; 0 when it goes ahead.
  std::uint32_t FolderRefusalOf(const std::string& path, bool creates) const;

  std::string Resolve(std::string_view name) const;
  // Counts a fallible operation: crashes or fails it as the sweep says.
  // file is what a held or read-only fault is put on (a copy's destination).
  OpResult Fallible(std::string_view op, std::string_view subject, std::string_view file = {});
  void CrashPoint();
  void Erase(std::string_view name);
  void StoreWhole(std::string_view name, std::string bytes);
  void Record(std::string op, std::vector<std::string> args);
  OpResult InjectedFailure(std::string_view op, std::string_view subject);
  OpResult Refusal(std::string_view name, Access access) const;
  const Held* HoldOn(std::string_view name) const;
  OpResult RewriteInPlace(std::string_view destination, const std::string& bytes);
  // The held and read-only ways of the sweep, put on the file the operation touches.
  void ApplyFileFault(Fault fault, std::string_view file);
  void EndCausesThePlayerCanEnd();
  void EndRunsThatEndWithTheProgram();
  void Store(std::string_view name, std::string bytes);
  void RestartTimerIfArmed();

  std::map<std::string, File> files_;
  std::map<std::string, std::vector<std::optional<std::string>>> history_;
  int faultAt_ = 0;
  Fault fault_ = Fault::AccessDenied;
  struct ActiveFault {
    std::string op, subject;
    Fault fault;
    std::int64_t sinceMs;
  };
  std::optional<ActiveFault> activeFault_;
  int crashAt_ = 0;
  int fallibleCount_ = 0;
  int crashPoints_ = 0;
  std::vector<std::string> fallibleOps_;
  std::vector<PlatformCall> calls_;
  struct Injected {
    std::string op, subject;
    std::uint32_t error;
  };
  std::vector<Injected> failures_;
  std::map<std::string, FakeRunScript> scripts_;
  std::map<std::string, std::function<void(std::string&)>> tampering_;
  std::map<std::string, Held> held_;
  std::map<std::string, bool> readOnly_;  // path, cleared when the player answers Retry
  std::map<std::string, std::int64_t> pendingDeletion_;
  bool folderGone_ = false;  // until the player answers Retry (reconnects the drive)
  bool Pending(const std::string& path) const;
  // What a query meets: a name pending deletion, the folder gone; empty where it may look.
  OpResult QueryRefusal(std::string_view op, std::string_view name) const;
  void ApplyPendingDeletion(std::string_view op, std::string_view file);
  std::set<std::string> notRedirected_;
  DisplayLanguages displayLanguages_{{"en-US"}, 0x0409};
  std::string retryCaption_ = "Retry";
  std::string cancelCaption_ = "Cancel";
  std::vector<BoxChoice> answers_;
  int retryBoxes_ = 0;
  bool keepLastAnswer_ = false;
  std::string blockReason_;
  std::string progress_ = "none";
  bool workingCursor_ = false;
  std::vector<Run> runs_;
  std::multimap<std::int64_t, std::function<void()>> scheduled_;
  std::function<void()> tickHandler_;
  FolderWrites folderWrites_ = FolderWrites::Allowed;
  bool longPaths_ = false;
  std::string localAppData_ = "C:\\Users\\Player\\AppData\\Local";
  std::string appFolder_ = "C:\\Games\\Client";
  std::string workingFolder_ = "C:\\Games\\Client";
  std::string lastErrorText_;
  bool previousInstance_ = false;
  bool earlierShowsBox_ = false;
  bool earlierBoxInFront_ = false;
  bool buttons_[3] = {true, true, true};
  std::int32_t timerInterval_ = 0;
  bool timerEnabled_ = false;
  std::int64_t timerStartWallMs_ = 0;  // awake and asleep time, as the window's timer counts it
  std::int64_t nowMs_ = 0;
  std::int64_t asleepMs_ = 0;
  std::int64_t writeCount_ = 0;
  int doEventsCount_ = 0;
  int idlePasses_ = 0;
  bool ended_ = false;
};

}  // namespace kestrane
