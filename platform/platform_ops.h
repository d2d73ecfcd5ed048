#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrane {

// The three push buttons of the main window, in tab order.
enum class ButtonId { Command1 = 0, Command2 = 1, Command3 = 2 };

// The classes of error that call for different advice to the player.
enum class FailureKind {
  Other,
  InUse,         // held by another program: worth trying again shortly
  AccessDenied,  // a read-only file or a protected folder
  DiskFull,
  NotFound,
  AlreadyExists,  // a write that may not replace found the file there
  DriveGone,      // the drive or network folder is not reachable (a cable, a sleeping share)
  QuotaExceeded,  // the player's disk quota is used up
  MediaWriteProtected,  // the disk itself is locked (a memory card's switch, a read-only mount)
  PathTooLong,    // the path passes Windows' 260-character limit
  NeedsElevation,  // the program asks for administrator rights
  // Only a probe of the folder itself tells these two apart from a file's refusal:
  FolderDenied,   // the folder may not be written (permissions: a game under Program Files)
  FolderGuarded,  // a folder that is there refuses new files as "not found": ransomware protection
  Unsupported,    // the place cannot do what is asked, whenever asked: a cloud placeholder, a link, a flush
};

// The class of a Windows error number, which the advice to the player follows.
constexpr FailureKind KindOfWindowsError(std::uint32_t error) {
  switch (error) {
    case 32: case 33: case 1224: case 303: return FailureKind::InUse;  // sharing, lock, mapped, delete pending
    case 5: case 6009: return FailureKind::AccessDenied;        // access denied, read-only
    case 39: case 112: return FailureKind::DiskFull;            // handle disk full, disk full
    case 2: case 3: return FailureKind::NotFound;               // file, path not found
    case 80: case 183: return FailureKind::AlreadyExists;       // file exists, already exists
    // not ready, network name gone, bad network path, device gone, network error, network
    // name deleted, bad network name, device not connected, network unreachable
    // ... and no network, host unreachable, network timeout, volume changed (a stick put back)
    case 21: case 51: case 53: case 55: case 59: case 64: case 67: case 1167: case 1231:
    case 1222: case 1232: case 121: case 1006:
      return FailureKind::DriveGone;
    case 1295: return FailureKind::QuotaExceeded;
    case 19: return FailureKind::MediaWriteProtected;
    case 206: return FailureKind::PathTooLong;                  // file name or extension too long
    case 740: return FailureKind::NeedsElevation;
    // A function or flush the drive does not offer, a file the system cannot open (a
    // placeholder), a link it cannot follow: the same again fails the same.
    case 1: case 50: case 87: case 1920: case 1921: return FailureKind::Unsupported;
    default: return error >= 362 && error <= 404 ? FailureKind::Unsupported  // cloud files
                                                 : FailureKind::Other;
  }
}

// What a failed step was doing. The platform says what and where, never in words: every
// text a box shows comes from the box catalogue.
enum class Operation {
  None,
  Copy,
  Read,
  Write,
  Delete,
  Query,            // whether a file exists
  Start,            // a program
  FindInterpreter,  // the system's command interpreter
  UseFolder,        // make the program's folder the working folder
  CheckFolder,      // make and remove a check file of Kestrane's own
  OpenForWriting,   // whether a file could be written now
};

// What a detail line of a box names: a whole path, a command line, an exit code.
enum class Detail { File, From, To, Folder, Program, CommandLine, ExitCode, Copy };

// The catalogue's entry that tells a failure. FromKind: a failed step on a file, told by the
// kind of its error (and, for an existence query, by that).
enum class Box {
  FromKind,
  // a file step, by the kind of error
  FileInUse, FileProtected, DiskFull, DriveGone, QuotaUsedUp, DiskLocked, FileMissing, FileUnknown, FileOther,
  // the folder is the cause
  FolderDenied, FolderGuarded, PathTooLong, NetworkFolder, RedirectedCopy,
  FolderUnsupported,
  // a mode's steps
  DecodeFailed, EncodeFailed, ToolTimedOut, TextFormUnchangeable, PatchNotKept, WorkFileGone, NoInterpreter,
  InterpreterRefused, ProgramNotStarted, NeedsElevation, ClientNotReady, BackupGoneAtRestore,
  // the first start's backup
  BackupNotTrue, BackupUnreadable,
};

// What went wrong: the step, where, and the system's error number and text where there is
// one. The logic names the cause (box) where the error alone does not.
struct Failure {
  Operation operation = Operation::None;
  std::vector<std::pair<Detail, std::string>> details;
  std::uint32_t error = 0;
  std::string errorText;
  Box box = Box::FromKind;
  FailureKind kind = FailureKind::Other;
  bool shown = false;            // the player has seen it already
  bool runMayGoOn = false;       // a tool run could not be ended and may still write
  bool mayBeDamaged = false;     // a rewrite in place stopped part-way through the file
  bool removed = true;           // a new backup that could not be shown true was removed
};
// Empty on success. Operations report their failures; the caller decides what follows.
using OpResult = std::optional<Failure>;

// A program started by StartProgram, for asking whether it has ended.
enum class RunId : int { None = 0 };
struct StartResult {
  OpResult failure;
  RunId run = RunId::None;
};

// A tool run is contained: it and all it starts can be watched and ended together. The
// client is started plainly and left to run on its own.
enum class Containment { Contained, Plain };

// How far a started windowed program has got with its start.
enum class Readiness {
  Starting,  // still starting: it has not yet waited for input
  Ready,     // it has waited for input once
  NoWait,    // it has ended, or it is a console program, which never waits for input
};

struct ReadResult {
  OpResult failure;
  std::string bytes;
};

// Whether a write may put its bytes over a file that exists already.
enum class Overwrite { Allowed, Never };

// Whether something exists at a path; a query that could not tell is a failure, never "no".
struct ExistsResult {
  OpResult failure;
  bool exists = false;
};

// A file's size and last write time, to tell whether something rewrote it.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t writeTime = 0;
  bool operator==(const FileStamp&) const = default;
};
struct StampResult {
  OpResult failure;
  std::optional<FileStamp> stamp;  // empty where the file is absent
};

enum class BoxChoice { Close, Retry };

// An error for a failure; a warning for a start that may not have the mode.
enum class BoxIcon { Error, Warning };

// A box as the player reads it, composed from the catalogue.
struct BoxMessage {
  std::string text;
  // Kestrane's own words in it, paths, commands and Windows' line aside; characters in a
  // language written without spaces between words.
  int ownWords = 0;
  bool offerRetry = false;
  BoxIcon icon = BoxIcon::Error;
};

// The languages of the player's Windows display: the preferred UI languages by name, in
// order ("pt-BR"), and the default UI language's number.
struct DisplayLanguages {
  std::vector<std::string> preferred;
  std::uint16_t defaultUi = 0;
};

// What the taskbar button shows: nothing, how far, busy without a measure, or an error.
enum class ProgressState { None, Normal, Waiting, Error };

// Every service of Windows and of the runtime that the launcher's logic rests on.
// Texts are UTF-8; the Win32 implementation converts them to UTF-16 at the call.
class PlatformOps {
 public:
  PlatformOps() = default;
  PlatformOps(const PlatformOps&) = delete;
  PlatformOps& operator=(const PlatformOps&) = delete;
  virtual ~PlatformOps() = default;

  // Starts the program that the command line names and returns at once.
  virtual StartResult StartProgram(std::string_view commandLine, int windowStyle, Containment containment) = 0;
  // The exit code once the run (with whatever it started) has ended; empty while it runs.
  virtual std::optional<std::uint32_t> ExitCodeOf(RunId run) = 0;
  // Ends a run that is still going, with whatever it started; true once all of it has ended.
  virtual bool StopRun(RunId run) = 0;
  virtual Readiness ReadinessOf(RunId run) = 0;

  // Copies source's bytes over destination (the restore of the settings): the destination
  // holds its old bytes or the new ones, never a mix. The source is read with other writers
  // shut out. A destination that another program holds open while letting others write it
  // cannot be replaced, only rewritten where it stands: the length is set before any byte,
  // and a failure after that is marked mayBeDamaged. No other operation writes in place.
  virtual OpResult CopyOver(std::string_view source, std::string_view destination) = 0;
  virtual OpResult RemoveFile(std::string_view name) = 0;
  // Only "not found" counts as absent; any other error of the query is a failure. A name in
  // the working folder whose path is not found is the folder gone (kind DriveGone), and a
  // name whose deletion is still pending is in use.
  virtual ExistsResult FileExists(std::string_view path) = 0;
  // The file's size and write time; no stamp where it is absent, as FileExists tells absence.
  virtual StampResult StampOf(std::string_view path) = 0;
  // The file's bytes, read with other writers shut out; a file being written counts as in use.
  virtual ReadResult ReadBytes(std::string_view path) = 0;
  // Replaces the file's bytes in one step, a flushed temporary moved into place: it holds
  // its old bytes or its new ones, and a new file appears only whole. With Overwrite::Never
  // an existing file is left as it is and the write fails with kind AlreadyExists.
  virtual OpResult WriteBytes(std::string_view path, std::string_view bytes, Overwrite overwrite) = 0;
  // Removes what an interrupted copy onto destination may have left beside it.
  virtual void DiscardInterruptedCopy(std::string_view destination) = 0;
  // Makes folder the working folder that relative names are resolved against.
  virtual OpResult SetWorkingFolder(std::string_view folder) = 0;
  // Creates and removes a small file of Kestrane's own in the working folder, under a name
  // no file has, to tell the folder's refusal of new files from a file's: kind FolderDenied
  // where it is refused as access denied and no file of that name stands in the way,
  // FolderGuarded where a folder that is there refuses it as not found, otherwise the
  // error's kind.
  virtual OpResult ProbeFolder() = 0;
  // Opens an existing file for writing, sharing everything, and changes nothing: whether a
  // program could write it now (a read-only mark, permissions, a holder without sharing).
  virtual OpResult ProbeWrite(std::string_view path) = 0;
  // Where Windows redirects the writes to the program's folder of the programs Kestrane
  // starts that have no manifest of their own, and reads them back from: empty where no
  // redirection can apply (not on the system drive, or no virtualization for Kestrane's user).
  virtual std::string VirtualStoreFolder() = 0;
  // Whether Windows may redirect that program of the folder: a 32-bit program whose
  // manifest, if it has one, names no execution level. Only those are ever redirected.
  virtual bool MayBeRedirected(std::string_view program) = 0;

  // Handles the window events that are waiting (waiting for the next one if none is).
  virtual void DoEvents() = 0;
  // A steady clock in milliseconds.
  virtual std::int64_t NowMs() = 0;
  // While an action runs, Windows shows this reason to a logoff or shutdown that waits
  // for the program; an empty reason removes it.
  virtual void SetShutdownBlockReason(std::string_view reason) = 0;
  // The taskbar button's progress: done of total, in the state given.
  virtual void ShowProgress(ProgressState state, std::int64_t done, std::int64_t total) = 0;
  // The working-in-background cursor over the window, or the normal arrow.
  virtual void SetWorkingCursor(bool working) = 0;
  // Shows the box captioned "Kestrane"; with offerRetry it asks Retry or Cancel.
  virtual BoxChoice ShowErrorBox(const BoxMessage& box) = 0;
  // The caption of a box's button as Windows shows it in the player's language (Retry, or
  // Close for Cancel), without its accelerator mark; empty where Windows does not say.
  virtual std::string ButtonName(BoxChoice button) = 0;
  // The player's display languages, never the regional format.
  virtual DisplayLanguages UiLanguages() = 0;
  // Ends the program at once; nothing after the call runs.
  [[noreturn]] virtual void EndProgram(int exitCode = 0) = 0;

  // The folder holding the running executable: no trailing separator except at a drive root.
  virtual std::string AppFolder() = 0;
  virtual bool PreviousInstance() = 0;
  // Where the earlier copy shows a box, brings that box in front of the player: a second
  // start is how a player asks for a Kestrane they cannot see.
  virtual void BringEarlierBoxForward() = 0;

  // The window objects.
  virtual void SetButtonEnabled(ButtonId button, bool enabled) = 0;
  virtual void SetTimerInterval(std::int32_t milliseconds) = 0;
  virtual std::int32_t TimerInterval() const = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
};

}  // namespace kestrane
