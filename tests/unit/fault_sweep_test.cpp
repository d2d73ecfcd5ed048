// Every fallible platform operation of every action, made to fail in each way it can, with
// every box answered both ways; and a crash before each of them. After each run the
// player's stored settings must have survived, whatever happened.
#include <gmock/gmock.h>

#include <cctype>
#include <sstream>
#include <tuple>

#include "app/box_catalogue.h"
#include "app/failure_report.h"
#include "client/exit_cleanup.h"
#include "client/ini_text.h"
#include "client/mode_launch.h"
#include "platform/program_paths.h"
#include "tests/unit/fake_form.h"

namespace kestrane::testing {
namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;

constexpr char kDecode[] = "cmd /x /c l2encdec.exe -d l2.ini temp.dat";
constexpr char kEncode[] = "cmd /x /c l2encdec.exe -e413 temp.dat l2.ini";
const std::string kPlain = "; player's own\r\n[URL]\r\nServerAddr=login.example.net\r\nIsL2NetLogin=False\r\n"
                           "IsL2Console=False\r\n\r\n[Video]\r\nWidth=1280\r\n";
const std::string kStored = "ENCODED:" + kPlain;
// What an earlier run left in "l2.ini" before a start-up: shorter than the stored settings.
const std::string kPatchedAtStartUp = "ENCODED:[URL]\r\nIsL2NetLogin=True\r\n";

enum class Action { FirstStartUp, StartUp, GameMode, DevelopMode, Exit };

const char* NameOf(Action action) {
  switch (action) {
    case Action::FirstStartUp: return "first start-up";
    case Action::StartUp: return "start-up";
    case Action::GameMode: return "Game Mode";
    case Action::DevelopMode: return "Develop Mode";
    case Action::Exit: return "Exit";
  }
  return "";
}

const char* NameOf(Fault fault) {
  switch (fault) {
    case Fault::InUseBriefly: return "in use briefly";
    case Fault::InUseForGood: return "in use for good";
    case Fault::AccessDenied: return "access denied";
    case Fault::NotFound: return "not found";
    case Fault::DiskFull: return "disk full";
    case Fault::HeldSharingReadWrite: return "held sharing reading and writing";
    case Fault::HeldSharingAll: return "held sharing everything";
    case Fault::HeldMapped: return "mapped";
    case Fault::ReadOnly: return "read-only";
    case Fault::DriveGone: return "drive gone";
    case Fault::QuotaExceeded: return "quota exceeded";
    case Fault::FolderGone: return "folder gone";
    case Fault::NotReady: return "drive not ready";
    case Fault::PendingDeletion: return "pending deletion";
    case Fault::BlockedByPolicy: return "blocked by policy";
    case Fault::NotAProgram: return "not a program";
    case Fault::NeedsElevation: return "needs elevation";
    case Fault::ToolFails: return "tool fails";
    case Fault::ToolWritesNothing: return "tool writes nothing";
    case Fault::ToolHangs: return "tool hangs";
    case Fault::ClientNeverReady: return "client never ready";
  }
  return "";
}

FailureKind KindOf(Fault fault) {
  switch (fault) {
    case Fault::InUseBriefly:
    case Fault::InUseForGood:
    case Fault::PendingDeletion:
    case Fault::HeldSharingReadWrite:
    case Fault::HeldSharingAll:
    case Fault::HeldMapped: return FailureKind::InUse;
    case Fault::AccessDenied:
    case Fault::ReadOnly: return FailureKind::AccessDenied;
    case Fault::DiskFull: return FailureKind::DiskFull;
    case Fault::NotFound: return FailureKind::NotFound;
    case Fault::DriveGone:
    case Fault::FolderGone:
    case Fault::NotReady: return FailureKind::DriveGone;
    case Fault::QuotaExceeded: return FailureKind::QuotaExceeded;
    default: return FailureKind::Other;
  }
}

// The ways the operation can fail: a query as access denied, a drive gone or not ready, a
// folder gone, a name pending deletion; files in the ways of errors and in every way another
// program can hold them or a mark protect them, the folder's probe in the ways of errors;
// starts in the ways of errors and of Windows' refusals, tool runs and the client's start in
// theirs too.
std::vector<Fault> WaysFor(const std::string& op) {
  if (op.starts_with("Exists") || op.starts_with("Stamp"))
    return {Fault::AccessDenied, Fault::DriveGone, Fault::FolderGone, Fault::NotReady, Fault::PendingDeletion};
  std::vector<Fault> ways{Fault::InUseBriefly, Fault::InUseForGood, Fault::AccessDenied, Fault::NotFound,
                          Fault::DiskFull, Fault::DriveGone};
  if (op.starts_with("Write") || op.starts_with("Copy")) ways.push_back(Fault::QuotaExceeded);
  if (op.starts_with("Write") || op.starts_with("Copy") || op.starts_with("Delete") || op.starts_with("Read"))
    ways.insert(ways.end(), {Fault::FolderGone, Fault::NotReady, Fault::PendingDeletion});
  if (op.starts_with("Start cmd"))
    ways.insert(ways.end(), {Fault::BlockedByPolicy, Fault::ToolFails, Fault::ToolWritesNothing, Fault::ToolHangs});
  if (op == "Start l2.exe")
    ways.insert(ways.end(), {Fault::BlockedByPolicy, Fault::NotAProgram, Fault::NeedsElevation, Fault::ClientNeverReady});
  if (!op.starts_with("Start") && !op.starts_with("SetWorkingFolder") && !op.starts_with("Probe "))
    ways.insert(ways.end(), {Fault::HeldSharingReadWrite, Fault::HeldSharingAll, Fault::HeldMapped, Fault::ReadOnly});
  return ways;
}

// The folder the game is in, as players have it. Each but the first is a cause that only the
// folder explains, and the box that it brings must say so.
enum class Setup {
  OwnFolder,           // a folder of the player's own, as we have it
  DeniedFolder,        // a folder the player may not write: a game under Program Files
  GuardedFolder,       // ransomware protection: the Desktop or Documents
  LockedDisk,          // a write-protected memory card, until the player unlocks it
  DeepFolder,          // a path that Kestrane's own names take past Windows' limit
  NetworkFolder,       // \\server\share\...
  RedirectedSettings,  // an "l2.ini" in the player's VirtualStore, which the tool and client use
  ReadOnlySettings,    // "l2.ini" with a read-only mark, until the player clears it
  // Folders that are no cause, and must meet no box that blames them:
  StaleStoreCopy,      // a VirtualStore copy that neither the tool nor the client is sent to
  CheckNamesTaken,     // files of the folder check's names: pending deletion, read-only
  OwnAlphabet,         // a Cyrillic folder name longer in UTF-8 bytes than Windows' limit
  // Not the folder: another program deletes "l2.bak" while a mode runs (a cleaner), so that a
  // later step meets none.
  BackupRemovedMidMode,
};

struct SetupInfo {
  Setup setup;
  const char* name;
  const char* boxSays;  // what every box that this setup causes must say; "" for no cause
};

const SetupInfo kSetups[] = {
    {Setup::OwnFolder, "own folder", ""},
    {Setup::DeniedFolder, "folder the player may not write", "Windows does not let Kestrane write in its folder."},
    {Setup::GuardedFolder, "folder under ransomware protection", "allow Kestrane.exe, l2encdec.exe and l2.exe"},
    {Setup::LockedDisk, "write-protected disk", "The disk that holds the game is write-protected."},
    {Setup::DeepFolder, "folder with a very long path", "Move the game to a folder with a shorter path"},
    {Setup::NetworkFolder, "network folder", "Map the folder to a drive letter"},
    {Setup::RedirectedSettings, "settings redirected to the VirtualStore", "Windows may give the game an old copy of its settings"},
    {Setup::ReadOnlySettings, "read-only l2.ini", "Clear the file's read-only mark"},
    {Setup::StaleStoreCopy, "VirtualStore copy of programs never redirected", ""},
    {Setup::CheckNamesTaken, "folder check's names taken", ""},
    {Setup::OwnAlphabet, "Cyrillic folder", ""},
    {Setup::BackupRemovedMidMode, "l2.bak removed during the mode", "l2.bak"},
};

// The paths a box's detail lines show.
std::vector<std::string> PathsShownIn(const std::string& text) {
  std::vector<std::string> paths;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    for (const char* label : {"File: ", "From: ", "To: ", "Folder: ", "Copy: ", "Program: "})
      if (line.starts_with(label)) paths.push_back(line.substr(std::string_view(label).size()));
  return paths;
}

std::string WayOutFor(FailureKind kind) { return WayOut(BoxForKind(kind)); }

const SetupInfo& InfoOf(Setup setup) {
  for (const auto& info : kSetups)
    if (info.setup == setup) return info;
  return kSetups[0];
}

// Longer than any name the client's own files need, shorter than Kestrane's temporaries need.
const std::string kDeepFolder = "C:\\Games\\" + std::string(225, 'd') + "\\Client";
const std::string kRedirected = "C:\\Users\\Player\\AppData\\Local\\VirtualStore\\Program Files\\Client\\l2.ini";
// 200 UTF-16 characters, 380 bytes of UTF-8.
std::string CyrillicFolder() {
  std::string folder = "C:\\Игры\\";
  while (Utf16Length(folder) < 200) folder += "Клиент";
  return folder.substr(0, folder.size() - (Utf16Length(folder) - 200) * 2);
}

// Whether, and how, the game client holds "l2.ini" while the action runs: from its start in
// a mode, from before the action otherwise (it runs from an earlier start). It lets go when
// the player answers Retry (closes the client).
using ClientHold = std::optional<Hold>;

const char* NameOf(const ClientHold& hold) {
  if (!hold) return "client holds nothing";
  switch (*hold) {
    case Hold::NoSharing: return "client holds l2.ini without sharing";
    case Hold::SharingReadWrite: return "client holds l2.ini sharing reading and writing";
    case Hold::SharingAll: return "client holds l2.ini sharing everything";
    case Hold::Mapped: return "client maps l2.ini";
  }
  return "";
}

// One run of an action in a prepared folder, with the fake's tool and client, bound to the
// program's one window.
class SweepRun {
 public:
  explicit SweepRun(Action action, ClientHold hold = std::nullopt, Setup setup = Setup::OwnFolder)
      : action_(action), hold_(hold), setup_(setup) {
    Form1 = MainForm{};
    Form1.Bind(fake);
    fake.SetTickHandler(Timer1Tick);
    switch (setup) {
      case Setup::DeniedFolder: fake.SetFolderWrites(FolderWrites::Denied); break;
      case Setup::GuardedFolder: fake.SetFolderWrites(FolderWrites::Guarded); break;
      case Setup::LockedDisk: fake.SetFolderWrites(FolderWrites::WriteProtected); break;
      case Setup::DeepFolder: fake.SetFolders(kDeepFolder); break;
      case Setup::NetworkFolder: fake.SetFolders("\\\\fileserver\\games\\Client"); break;
      case Setup::RedirectedSettings:
        fake.SetFolders("C:\\Program Files\\Client");
        fake.PutFile(kRedirected, kStored);
        break;
      case Setup::StaleStoreCopy:
        fake.SetFolders("C:\\Program Files\\Client");
        fake.PutFile(kRedirected, kStored);
        fake.SetNeverRedirected("l2.exe");
        fake.SetNeverRedirected("l2encdec.exe");
        break;
      case Setup::CheckNamesTaken:
        fake.PendDeletion(FolderCheckName(1));
        fake.PutFile(FolderCheckName(2), "");
        fake.MarkReadOnly(FolderCheckName(2));
        break;
      case Setup::OwnAlphabet: fake.SetFolders(CyrillicFolder()); break;
      case Setup::OwnFolder:
      case Setup::ReadOnlySettings:
      case Setup::BackupRemovedMidMode: break;
    }
    for (const auto* name : {"l2encdec.exe", "l2.exe"}) fake.PutFile(name, "program");
    fake.PutFile("l2.ini", kStored);
    if (action != Action::FirstStartUp) fake.PutFile("l2.bak", kStored);
    if (action == Action::StartUp) fake.PutFile("l2.ini", kPatchedAtStartUp);
    if (action == Action::Exit) fake.PutFile("temp.dat", kPlain);
    if (setup == Setup::ReadOnlySettings) fake.MarkReadOnly("l2.ini", true);
    iniBefore_ = fake.FileBytes("l2.ini").value_or("");
    const bool mode = action == Action::GameMode || action == Action::DevelopMode;
    if (hold && !mode) fake.HoldFile("l2.ini", -1, *hold);
    // The tool, a program without a manifest of its own, uses the redirected copies where
    // there are any, and fails as Windows refuses its writes.
    FakeRunScript decode{1000};
    decode.work = [this]() -> std::uint32_t {
      if (const auto refused = fake.WriteRefusalFor(fake.RedirectedFor("l2encdec.exe", "temp.dat"))) return refused;
      const std::string encoded = fake.FileBytes(fake.RedirectedFor("l2encdec.exe", "l2.ini")).value_or("");
      fake.PutFile(fake.RedirectedFor("l2encdec.exe", "temp.dat"), encoded.substr(std::string("ENCODED:").size()));
      return 0;
    };
    fake.ScriptRun(kDecode, decode);
    FakeRunScript encode{1000};
    if (setup == Setup::BackupRemovedMidMode) encode.atStart = [this] { fake.RemoveBehindKestrane("l2.bak"); };
    encode.work = [this]() -> std::uint32_t {
      if (const auto refused = fake.WriteRefusalFor(fake.RedirectedFor("l2encdec.exe", "l2.ini"))) return refused;
      fake.PutFile(fake.RedirectedFor("l2encdec.exe", "l2.ini"), "ENCODED:" + fake.FileBytes(fake.RedirectedFor("l2encdec.exe", "temp.dat")).value_or(""));
      return 0;
    };
    fake.ScriptRun(kEncode, encode);
    FakeRunScript client{-1, 0, nullptr, 2000};
    client.atStart = [this] {
      ++clientStarts_;
      clientSawTheMode_ = SettingsHoldTheMode(fake.RedirectedFor("l2.exe", "l2.ini"));
      if (hold_) fake.HoldFile("l2.ini", -1, *hold_);
    };
    fake.ScriptRun("l2.exe", client);
  }

  // Runs the action to its end, or to a crash.
  void Run() {
    try {
      switch (action_) {
        case Action::FirstStartUp:
        case Action::StartUp: FormLoad(); break;
        case Action::GameMode: GameModeClick(); break;
        case Action::DevelopMode: DevelopModeClick(); break;
        case Action::Exit: ExitClick(); break;
      }
    } catch (const ProgramEnded&) {
    } catch (const kestrane::Crashed&) {
      crashed_ = true;
    }
  }

  bool CrashedOut() const { return crashed_; }

  // Invariants of every run, whatever failed.
  void CheckInvariants(const std::string& what, std::optional<Fault> fault = std::nullopt,
                       const std::string& faultOp = "") {
    SCOPED_TRACE(std::string(NameOf(action_)) + ", " + NameOf(hold_) + ", " + InfoOf(setup_).name + ": " + what);
    const std::string setupSays = InfoOf(setup_).boxSays;
    EXPECT_LT(fake.NowMs(), 300000) << "the run did not end in bounded time";
    const auto backups = fake.HistoryOf("l2.bak");
    for (size_t i = 0; i < backups.size(); ++i)
      if (backups[i]) {
        EXPECT_EQ(*backups[i], kStored) << "l2.bak was written with other bytes";
        EXPECT_FALSE(i > 0 && backups[i - 1]) << "an existing l2.bak was replaced";
      }
    EXPECT_LE(clientStarts_, 1);
    if (clientStarts_) {
      EXPECT_TRUE(clientSawTheMode_) << "the client started on settings that were not checked";
    }
    EXPECT_LT(fake.CallsOf({"ErrorBox"}).size(), FakePlatformOps::kRetriesBeforeGivingUp)
        << "Retry was offered again and again for a cause it does not mend";
    bool toldNotYet = false;
    bool toldDamaged = false;
    for (const auto& box : fake.CallsOf({"ErrorBox"})) {
      const std::string& text = box.args[0];
      EXPECT_TRUE(text.find("l2.ini") != std::string::npos || text.find("l2.bak") != std::string::npos ||
                  text.find("temp.dat") != std::string::npos || text.find("Command line") != std::string::npos ||
                  text.find("File:") != std::string::npos || text.find("Folder:") != std::string::npos)
          << "a box that names no file and no step:\n" << text;
      if (box.args[1] == "retry" && fault && *fault != Fault::InUseBriefly) {
        const bool fits = text.find(WayOutFor(KindOf(*fault))) != std::string::npos ||
                          (faultOp.starts_with("Exists") && text.find(WayOut(Box::FileUnknown)) != std::string::npos) ||
                          (hold_ && text.find(WayOutFor(FailureKind::InUse)) != std::string::npos) ||
                          (!setupSays.empty() && text.find(setupSays) != std::string::npos) ||
                          faultOp.starts_with("Probe ");  // a probe that cannot tell leaves the file's advice
        EXPECT_TRUE(fits) << "the advice does not fit the error:\n" << text;
      }
      EXPECT_EQ(text.find('%'), std::string::npos) << "Windows' line with an insert left unfilled:\n" << text;
      for (const auto& path : PathsShownIn(text))
        EXPECT_TRUE(path.size() > 2 && (path[1] == ':' || path.starts_with("\\\\")) &&
                    path.find('/') == std::string::npos)
            << "a path not shown whole, with one kind of separator:\n" << text;
      EXPECT_LE(std::stoi(box.args[5]), kMaxOwnWords) << "a box of more than " << kMaxOwnWords << " words:\n" << text;
      EXPECT_EQ(text.find("press Retry") != std::string::npos, box.args[1] == "retry")
          << "the box's words and its buttons disagree:\n" << text;
      EXPECT_EQ(box.args[4] == "warning", text.starts_with(FirstLine(Box::ClientNotReady)))
          << "the icon does not fit:\n" << text;
      if (box.args[3] == "no l2.bak") {
        EXPECT_EQ(text.find("l2.bak is kept"), std::string::npos) << "a box claims an l2.bak that is not there:\n" << text;
      }
      for (const auto& entry : BoxCatalogue())
        if (text.starts_with(FirstLine(entry.box)) && box.args[1] == "retry") {
          EXPECT_TRUE(entry.retryStep) << "Retry offered where it cannot help:\n" << text;
        }
      for (const char* notYet : {"puts your settings back", "puts them back", "puts l2.ini back",
                                 "start Kestrane before you start the game", "start Kestrane if l2.bak is there"})
        toldNotYet |= text.find(notYet) != std::string::npos;
      toldDamaged |= text.find("l2.ini may be damaged") != std::string::npos;
    }
    // The interpreter that Windows will not start, or cannot find, is named as the cause:
    // neither the game's files nor its updater are.
    const bool interpreterRefused = faultOp.starts_with("Start cmd") &&
                                    (fault == Fault::AccessDenied || fault == Fault::BlockedByPolicy || fault == Fault::NotFound);
    if (interpreterRefused && !fake.CallsOf({"ErrorBox"}).empty()) {
      const std::string first = fake.CallsOf({"ErrorBox"}).front().args[0];
      EXPECT_TRUE(first.starts_with(FirstLine(fault == Fault::NotFound ? Box::NoInterpreter : Box::InterpreterRefused)))
          << "the interpreter's refusal told as another cause:\n" << first;
    }
    // "l2.ini" is the stored settings or the patched ones, whole, unless the tool tore it
    // (and Kestrane could not put it back) or a box said it may be damaged.
    const std::string settings = fake.FileBytes("l2.ini").value_or("");
    if (!crashed_ && settings != kStored && !SettingsHoldTheMode() && fault != Fault::ToolFails &&
        !(action_ == Action::StartUp && settings == kPatchedAtStartUp)) {
      EXPECT_TRUE(toldDamaged) << "l2.ini was torn without a word";
    }
    if (!crashed_ && fake.FileBytes("l2.bak") && fake.FileBytes("l2.ini") != fake.FileBytes("l2.bak")) {
      EXPECT_TRUE(toldNotYet) << "l2.ini was left changed without a word";
    }
    // A player who starts the game by itself after the last box must have been told what it
    // would run with.
    const auto boxes = fake.CallsOf({"ErrorBox"});
    if (!crashed_ && !boxes.empty() && SettingsHoldTheMode()) {
      EXPECT_THAT(boxes.back().args[0], AnyOf(HasSubstr("the mode's settings"), HasSubstr("tool wrote")))
          << "l2.ini was left with the mode's settings without a word";
    }
    if (!crashed_ && !boxes.empty()) {
      ASSERT_NO_FATAL_FAILURE(CheckTheLastBoxIsTrue(boxes.back()));
    }
    if (setup_ == Setup::RedirectedSettings || setup_ == Setup::StaleStoreCopy) {
      EXPECT_EQ(fake.HistoryOf(kRedirected).size(), 1u) << "the copy that the client reads was changed";
    }
    CheckNextStartUp();
  }

  // Without faults, the folder's cause is what the first box names, and a mode names it
  // before it starts the tool.
  void CheckTheCauseIsNamed() {
    SCOPED_TRACE(std::string(NameOf(action_)) + ", " + InfoOf(setup_).name);
    const auto boxes = fake.CallsOf({"ErrorBox"});
    const bool mode = action_ == Action::GameMode || action_ == Action::DevelopMode;
    if (setup_ == Setup::OwnFolder) return;  // the client's holds bring their boxes
    if (setup_ == Setup::BackupRemovedMidMode) {
      ASSERT_FALSE(boxes.empty()) << "l2.bak went without a word";
      EXPECT_THAT(boxes.back().args[0], HasSubstr("l2.bak was gone"));
      return;
    }
    if (std::string(InfoOf(setup_).boxSays).empty()) {
      for (const auto& box : boxes) ADD_FAILURE() << "a folder that is no cause met a box:\n" << box.args[0];
      return;
    }
    if (mode) {
      ASSERT_FALSE(boxes.empty()) << "the mode ran without a word";
      EXPECT_TRUE(Trace({"Start"}).empty()) << "the tool was started before the box";
    }
    if (!boxes.empty()) {
      EXPECT_THAT(boxes.front().args[0], HasSubstr(InfoOf(setup_).boxSays));
    }
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto& box : fake.CallsOf({"ErrorBox"})) out.push_back(box.args[0]);
    return out;
  }

  std::vector<std::string> Trace(std::initializer_list<std::string_view> ops) const {
    std::vector<std::string> out;
    for (const auto& call : fake.CallsOf(ops)) out.push_back(call.op + " " + call.args[0]);
    return out;
  }

  FakePlatformOps fake;

 private:
  // Whether "l2.ini" now encodes the stored settings with the mode's four values.
  bool SettingsHoldTheMode(const std::string& path = "l2.ini") {
    const std::string encoded = fake.FileBytes(path).value_or("");
    if (!encoded.starts_with("ENCODED:")) return false;
    const ModeProfile& profile = action_ == Action::DevelopMode ? DevelopProfile : GameProfile;
    auto expected = ReadIniSettings(kPlain);
    for (const auto& setting : profile.settings)
      expected[IniSettingKey("URL", setting.key)] = {"", std::string(setting.value)};
    const auto seen = ReadIniSettings(encoded.substr(8));
    if (seen.size() != expected.size()) return false;
    for (const auto& [key, setting] : expected)
      if (!seen.contains(key) || seen.at(key).value != setting.value) return false;
    return true;
  }

  // A fresh start-up brings the stored settings back and leaves no temporary behind, and
  // nothing the program started writes over them afterwards.
  void CheckNextStartUp() {
    fake.ClearFaults();
    fake.LiftFolderCauses();
    // The player does what the last box says before Kestrane's next start: without an
    // l2.bak, that is putting back their own l2.ini.
    const bool ownCopyBack = lastStanding_ == Standing::NoBackupModeMayStay ||
                             lastStanding_ == Standing::ModeKeptNoBackup ||
                             (lastStanding_ == Standing::ModeUnsure && !fake.FileBytes("l2.bak"));
    if (ownCopyBack) fake.PutFile("l2.ini", kStored);
    Form1 = MainForm{};
    Form1.Bind(fake);
    bool ended = false;
    try {
      FormLoad();
    } catch (const ProgramEnded&) {
      ended = true;
    }
    EXPECT_FALSE(ended) << "the next start-up did not come up";
    fake.RunPendingEvents();
    if (fake.FileBytes("l2.bak")) {
      EXPECT_EQ(fake.FileBytes("l2.bak"), kStored);
      EXPECT_EQ(fake.FileBytes("l2.ini"), kStored) << "the next start-up did not restore the settings";
    } else {
      EXPECT_EQ(action_, Action::Exit) << "l2.bak is gone";
      EXPECT_EQ(fake.FileBytes("l2.ini"), kStored);
    }
    for (const auto& name : fake.FileNames()) EXPECT_FALSE(name.ends_with(".kestrane-partial")) << name;
  }

  // What the last box says of the settings holds in the files as the run leaves them.
  void CheckTheLastBoxIsTrue(const PlatformCall& box) {
    const std::string& text = box.args[0];
    const std::optional<Standing> standing = StandingOf(text);
    ASSERT_TRUE(standing) << "a box that does not say where the settings stand:\n" << text;
    lastStanding_ = standing;
    if (box.args[6] == "answered retry") return;  // the run went on: the words were for Cancel
    const auto backup = fake.FileBytes("l2.bak");
    const std::string settings = fake.FileBytes("l2.ini").value_or("");
    const auto is = [&](std::initializer_list<Standing> set) { return std::ranges::find(set, *standing) != set.end(); };
    using enum Standing;
    if (is({BackupKept, IniMayDiffer, ToolMayHaveChanged, ModeInIni, PutBack, PutBackNotStarted, Damaged})) {
      EXPECT_TRUE(backup) << "the box counts on an l2.bak that is not there:\n" << text;
    }
    if (is({NoBackupModeMayStay, ModeKeptNoBackup, BackupRemoved})) {
      EXPECT_FALSE(backup) << "the box says there is no l2.bak:\n" << text;
    }
    if (is({NotChangedNotStarted, IniNotChanged, BackupRemoved, BackupNotRemoved})) {
      EXPECT_EQ(settings, iniBefore_) << "the box says l2.ini was not changed:\n" << text;
    }
    if (is({PutBack, PutBackNotStarted})) {
      EXPECT_EQ(settings, kStored) << "the box says l2.ini was put back:\n" << text;
    }
    if (is({ModeInIni, ModeKeptNoBackup})) {
      EXPECT_TRUE(SettingsHoldTheMode()) << "the box says l2.ini holds the mode's settings:\n" << text;
    }
    if (is({NotChangedNotStarted, PutBackNotStarted})) {
      EXPECT_EQ(clientStarts_, 0) << "the box says the game was not started:\n" << text;
    }
  }

  static std::optional<Standing> StandingOf(const std::string& text) {
    std::optional<Standing> found;
    size_t longest = 0;
    for (int id = 0; id < kStandingCount; ++id) {
      const std::string said = StandingText(static_cast<Standing>(id));
      if (text.find(said) != std::string::npos && said.size() > longest) {
        found = static_cast<Standing>(id);
        longest = said.size();
      }
    }
    return found;
  }

  Action action_;
  ClientHold hold_;
  Setup setup_;
  std::string iniBefore_;
  std::optional<Standing> lastStanding_;
  bool crashed_ = false;
  bool clientSawTheMode_ = false;
  int clientStarts_ = 0;
};

// Without a client holding "l2.ini", and with a client that holds it the ways that leave it
// writable: the restore then goes in place, and its own steps are swept too.
const std::vector<ClientHold> kClientHolds{std::nullopt, Hold::SharingAll, Hold::Mapped};

struct SweepCase {
  Action action;
  ClientHold hold;
  Setup setup;
};

void PrintTo(const SweepCase& c, std::ostream* out) {
  *out << NameOf(c.action) << ", " << NameOf(c.hold) << ", " << InfoOf(c.setup).name;
}

// Every action with every client hold in the player's own folder, and with no hold in each
// folder that only the folder explains.
std::vector<SweepCase> AllCases() {
  std::vector<SweepCase> cases;
  for (const Action action :
       {Action::FirstStartUp, Action::StartUp, Action::GameMode, Action::DevelopMode, Action::Exit}) {
    for (const auto& hold : kClientHolds) cases.push_back({action, hold, Setup::OwnFolder});
    const bool mode = action == Action::GameMode || action == Action::DevelopMode;
    for (const auto& info : kSetups)
      if (info.setup != Setup::OwnFolder && (mode || info.setup != Setup::BackupRemovedMidMode))
        cases.push_back({action, std::nullopt, info.setup});
  }
  return cases;
}

// The sweep's own figures, printed per case and in total at the end.
struct SweepTally {
  int cases = 0;
  long runs = 0;
  long crashPoints = 0;
};
SweepTally faultTally, crashTally;

class SweepFigures : public ::testing::Environment {
 public:
  void TearDown() override {
    if (faultTally.cases) std::cout << "fault sweep in all: " << faultTally.runs << " runs in " << faultTally.cases << " cases\n";
    if (crashTally.cases)
      std::cout << "crash sweep in all: " << crashTally.crashPoints << " crash points in " << crashTally.cases << " cases\n";
  }
};
const auto* const kSweepFigures = ::testing::AddGlobalTestEnvironment(new SweepFigures);

bool IsMode(Action action) { return action == Action::GameMode || action == Action::DevelopMode; }

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, EveryFaultAtEveryOperationLeavesTheStoredSettingsSafe) {
  const auto& [action, hold, setup] = GetParam();
  std::vector<std::string> ops;
  std::vector<std::string> cleanBoxes;
  {
    SweepRun clean(action, hold, setup);
    clean.Run();
    ops = clean.fake.FallibleOps();
    cleanBoxes = clean.BoxTexts();
    ASSERT_NO_FATAL_FAILURE(clean.CheckTheCauseIsNamed());
    ASSERT_NO_FATAL_FAILURE(clean.CheckInvariants("no fault"));
  }
  // A mode in a network folder stops at the folder's name, before it touches a file: all it
  // does is look whether l2.bak is there, for its box. Every run has operations to fail.
  EXPECT_FALSE(ops.empty()) << "a run with nothing to fail proves nothing";
  if (IsMode(action) && setup == Setup::NetworkFolder) {
    for (const auto& op : ops) EXPECT_TRUE(op.starts_with("Exists ")) << "a mode in a network folder got as far as " << op;
  }
  int runs = 0;
  for (size_t k = 1; k <= ops.size(); ++k)
    for (const Fault fault : WaysFor(ops[k - 1]))
      for (const BoxChoice answer : {BoxChoice::Retry, BoxChoice::Close}) {
        SweepRun run(action, hold, setup);
        run.fake.InjectFault(static_cast<int>(k), fault);
        run.fake.AnswerEveryErrorBox(answer);
        run.Run();
        ASSERT_NO_FATAL_FAILURE(run.CheckInvariants("operation " + std::to_string(k) + " (" + ops[k - 1] + ") " +
                                                         NameOf(fault) + (answer == BoxChoice::Retry ? ", Retry" : ", Cancel"),
                                                     fault, ops[k - 1]));
        // Changing the working folder never meets a holder.
        if ((fault == Fault::InUseBriefly || fault == Fault::PendingDeletion) && !ops[k - 1].starts_with("SetWorkingFolder")) {
          EXPECT_EQ(run.BoxTexts().size(), cleanBoxes.size())
              << "a hold of a moment (a virus scanner) brought a box, at operation " << k << " (" << ops[k - 1] << ")";
        }
        ++runs;
      }
  std::cout << "fault sweep: " << NameOf(action) << ", " << NameOf(hold) << ", " << InfoOf(setup).name << ": "
            << ops.size() << " fault points, " << runs << " runs\n";
  ++faultTally.cases;
  faultTally.runs += runs;
}

class CrashSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(CrashSweep, ACrashAtEveryPointIsRecoveredByTheNextStartUp) {
  const auto& [action, hold, setup] = GetParam();
  int points = 0;
  {
    SweepRun clean(action, hold, setup);
    clean.Run();
    points = clean.fake.CrashPointCount();
    // Every operation is a crash point, and so are the moments between them that matter.
    EXPECT_GE(points, static_cast<int>(clean.fake.FallibleOps().size()));
  }
  for (int k = 1; k <= points; ++k) {
    SweepRun run(action, hold, setup);
    run.fake.CrashBefore(k);
    run.Run();
    EXPECT_TRUE(run.CrashedOut()) << NameOf(action) << ": crash point " << k << " was not reached";
    ASSERT_NO_FATAL_FAILURE(run.CheckInvariants("crash before point " + std::to_string(k)));
  }
  std::cout << "crash points: " << NameOf(action) << ", " << NameOf(hold) << ", " << InfoOf(setup).name << ": "
            << points << "\n";
  ++crashTally.cases;
  crashTally.crashPoints += points;
}

std::string SweepName(const ::testing::TestParamInfo<SweepCase>& param) {
  std::string name = std::string(NameOf(param.param.action)) + "_" + NameOf(param.param.hold) + "_" +
                     InfoOf(param.param.setup).name;
  std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '_'; });
  return name;
}

INSTANTIATE_TEST_SUITE_P(EachAction, FaultSweep, ::testing::ValuesIn(AllCases()), SweepName);

// A crash leaves no box to follow: what a cleaner deleted behind Kestrane is not its to recover.
std::vector<SweepCase> CrashCases() {
  std::vector<SweepCase> cases = AllCases();
  std::erase_if(cases, [](const SweepCase& c) { return c.setup == Setup::BackupRemovedMidMode; });
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EachAction, CrashSweep, ::testing::ValuesIn(CrashCases()), SweepName);

}  // namespace
}  // namespace kestrane::testing
