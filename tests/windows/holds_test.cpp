// Every way another program can hold a file, against every file operation the program makes,
// on real files: what each must come to. "In use" is retried and then asked about with the
// in-use advice; "write-protected" asks at once with its own; no row ever leaves a file torn.
#include <gtest/gtest.h>

#include <cctype>

#include "app/failure_report.h"
#include "platform/program_paths.h"
#include "platform/win32_folder_check.h"
#include "platform/win32_platform_ops.h"
#include "platform/win32_program_image.h"
#include "tests/windows/scratch_folder.h"

namespace kestrane::testing {
namespace {

enum class Holding { None, NoSharing, SharingReadWrite, SharingAll, Mapped, ReadOnly };
enum class Op { Read, WriteByMove, RestoreShorter, RestoreLonger, Remove, Exists, WritableBeforeTool };
enum class Outcome { Done, InUse, WriteProtected };

const char* NameOf(Holding holding) {
  switch (holding) {
    case Holding::None: return "not held";
    case Holding::NoSharing: return "held without sharing";
    case Holding::SharingReadWrite: return "held sharing reading and writing";
    case Holding::SharingAll: return "held sharing everything";
    case Holding::Mapped: return "mapped, sharing reading and writing";
    case Holding::ReadOnly: return "read-only mark";
  }
  return "";
}

const char* NameOf(Op op) {
  switch (op) {
    case Op::Read: return "read";
    case Op::WriteByMove: return "whole write by move";
    case Op::RestoreShorter: return "restore that may go in place, to fewer bytes";
    case Op::RestoreLonger: return "restore that may go in place, to more bytes";
    case Op::Remove: return "removal";
    case Op::Exists: return "existence";
    case Op::WritableBeforeTool: return "writable, asked before the tool runs";
  }
  return "";
}

struct Row {
  Holding holding;
  Outcome read, write, restoreShorter, restoreLonger, remove, exists, writable;
};

constexpr auto D = Outcome::Done;
constexpr auto U = Outcome::InUse;
constexpr auto W = Outcome::WriteProtected;

// Windows refuses to replace a file that is open, whatever its sharing, and says "access
// denied"; the platform layer finds that the file is merely open and reports it in use.
// A mapped file refuses a shorter length, so the restore that would go in place leaves it
// whole and reports it in use. Wine differs in one cell: it deletes a file that is mapped,
// which Windows refuses (in use, retried); the program gives either outcome its due.
const Row kRows[] = {
    //                           read write restore< restore> remove exists writable
    {Holding::None,              D,   D,    D,       D,       D,     D,     D},
    {Holding::NoSharing,         U,   U,    U,       U,       U,     D,     U},
    {Holding::SharingReadWrite,  D,   U,    D,       D,       U,     D,     D},
    {Holding::SharingAll,        D,   U,    D,       D,       D,     D,     D},
    {Holding::Mapped,            D,   U,    U,       D,       U,     D,     D},
    {Holding::ReadOnly,          D,   W,    W,       W,       W,     D,     W},
};

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

Outcome Expected(const Row& row, Op op) {
  if (op == Op::Remove && row.holding == Holding::Mapped && UnderWine()) return Outcome::Done;
  switch (op) {
    case Op::Read: return row.read;
    case Op::WriteByMove: return row.write;
    case Op::RestoreShorter: return row.restoreShorter;
    case Op::RestoreLonger: return row.restoreLonger;
    case Op::Remove: return row.remove;
    case Op::Exists: return row.exists;
    case Op::WritableBeforeTool: return row.writable;
  }
  return D;
}

// Another program's hold on a file, as a handle (and a view) of this process: sharing is
// checked between handles, whoever owns them.
class Hold {
 public:
  Hold(const std::wstring& path, Holding holding) : path_(path), holding_(holding) {
    const auto open = [&](DWORD share) {
      file_.Reset(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    switch (holding) {
      case Holding::None: break;
      case Holding::NoSharing: open(0); break;
      case Holding::SharingReadWrite: open(FILE_SHARE_READ | FILE_SHARE_WRITE); break;
      case Holding::SharingAll: open(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE); break;
      case Holding::Mapped:
        open(FILE_SHARE_READ | FILE_SHARE_WRITE);
        mapping_.Reset(CreateFileMappingW(file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        view_ = MapViewOfFile(mapping_.Get(), FILE_MAP_READ, 0, 0, 0);
        file_.Reset();  // as a program that keeps only the view
        break;
      case Holding::ReadOnly: SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY); break;
    }
  }
  ~Hold() { Release(); }
  bool Taken() const {
    if (holding_ == Holding::Mapped) return view_ != nullptr;
    return holding_ == Holding::None || holding_ == Holding::ReadOnly || file_.Valid();
  }
  void Release() {
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    mapping_.Reset();
    file_.Reset();
    if (holding_ == Holding::ReadOnly) SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }

 private:
  std::wstring path_;
  Holding holding_;
  UniqueHandle file_, mapping_;
  void* view_ = nullptr;
};

void PrintTo(const Row& row, std::ostream* out) { *out << NameOf(row.holding); }

class HoldsOnDisk : public ::testing::TestWithParam<Row> {};

TEST_P(HoldsOnDisk, EachOperationComesToItsOutcomeAndNeverTearsAFile) {
  const Row& row = GetParam();
  for (const Op op : {Op::Read, Op::WriteByMove, Op::RestoreShorter, Op::RestoreLonger, Op::Remove, Op::Exists,
                      Op::WritableBeforeTool}) {
    SCOPED_TRACE(std::string(NameOf(row.holding)) + ", " + NameOf(op));
    ScratchFolder folder;
    const std::string before = "[URL]\r\nIsL2NetLogin=True\r\nIsL2Console=True\r\n";
    const std::string backup = op == Op::RestoreLonger ? before + "; and more bytes\r\n" : "[URL]\r\n";
    folder.Write(L"l2.ini", before);
    folder.Write(L"l2.bak", backup);
    const std::string target = Narrow(folder.File(L"l2.ini"));
    Win32PlatformOps platform;
    Hold hold(folder.File(L"l2.ini"), row.holding);
    ASSERT_TRUE(hold.Taken());
    // The folder check's first names are taken, one the row's way, one hidden and a system
    // file, one pending deletion: none of them is the folder's refusal.
    ASSERT_FALSE(platform.SetWorkingFolder(Narrow(folder.Path())));
    const std::wstring taken = folder.File(Widen(FolderCheckName(1)));
    folder.Write(Widen(FolderCheckName(1)), "x");
    Hold checkHeld(taken, row.holding);
    folder.Write(Widen(FolderCheckName(2)), "");
    SetFileAttributesW(folder.File(Widen(FolderCheckName(2))).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    folder.Write(Widen(FolderCheckName(3)), "");
    UniqueHandle pending(CreateFileW(folder.File(Widen(FolderCheckName(3))).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
    DeleteFileW(folder.File(Widen(FolderCheckName(3))).c_str());
    const OpResult check = platform.ProbeFolder();
    EXPECT_FALSE(check) << "a name taken made the folder check fail: " << DescribeFailure(*check);
    pending.Reset();
    checkHeld.Release();
    SetFileAttributesW(folder.File(Widen(FolderCheckName(2))).c_str(), FILE_ATTRIBUTE_NORMAL);

    OpResult failure;
    std::string read;
    bool exists = false;
    switch (op) {
      case Op::Read: {
        ReadResult result = platform.ReadBytes(target);
        failure = result.failure;
        read = result.bytes;
        break;
      }
      case Op::WriteByMove: failure = platform.WriteBytes(target, backup, Overwrite::Allowed); break;
      case Op::RestoreShorter:
      case Op::RestoreLonger:
        failure = platform.CopyOver(Narrow(folder.File(L"l2.bak")), target);
        break;
      case Op::Remove: failure = platform.RemoveFile(target); break;
      case Op::Exists: {
        ExistsResult result = platform.FileExists(target);
        failure = result.failure;
        exists = result.exists;
        break;
      }
      case Op::WritableBeforeTool: failure = platform.ProbeWrite(target); break;
    }
    hold.Release();

    const Outcome expected = Expected(row, op);
    if (expected == Outcome::Done) {
      EXPECT_FALSE(failure) << (failure ? DescribeFailure(*failure) : "");
    } else {
      ASSERT_TRUE(failure) << "expected a failure";
      EXPECT_EQ(failure->kind, expected == Outcome::InUse ? FailureKind::InUse : FailureKind::AccessDenied)
          << DescribeFailure(*failure);
      EXPECT_FALSE(failure->mayBeDamaged);
    }
    EXPECT_FALSE(PathExists(folder.File(L"l2.ini.kestrane-partial")));
    const bool done = !failure;
    switch (op) {
      case Op::Read: EXPECT_EQ(read, done ? before : ""); break;
      case Op::WriteByMove:
      case Op::RestoreShorter:
      case Op::RestoreLonger: EXPECT_EQ(folder.Read(L"l2.ini"), done ? backup : before) << "torn or lost"; break;
      case Op::Remove:
        EXPECT_EQ(PathExists(folder.File(L"l2.ini")), !done);
        if (!done) {
          EXPECT_EQ(folder.Read(L"l2.ini"), before);
        }
        break;
      case Op::Exists: EXPECT_TRUE(exists); break;
      case Op::WritableBeforeTool: EXPECT_EQ(folder.Read(L"l2.ini"), before) << "the question changed the file"; break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, HoldsOnDisk, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& param) {
                           std::string name = NameOf(param.param.holding);
                           std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
                           return name;
                         });

// Only "not found" means absent: a query that cannot look (a name Windows refuses) fails
// with its error instead of passing for "no file".
TEST(ExistenceOnDisk, OnlyNotFoundMeansAbsent) {
  ScratchFolder folder;
  Win32PlatformOps platform;
  const ExistsResult missing = platform.FileExists(Narrow(folder.File(L"l2.bak")));
  EXPECT_FALSE(missing.failure);
  EXPECT_FALSE(missing.exists);
  const ExistsResult unreadable = platform.FileExists(Narrow(folder.File(L"bad<name>.bak")));
  ASSERT_TRUE(unreadable.failure) << "a query that failed passed for \"no file\"";
  EXPECT_NE(unreadable.failure->error, 0u);
}

// A new backup appears only where no file of its name is: an existing one keeps its bytes.
TEST(ExistenceOnDisk, AWriteThatMayNotReplaceKeepsTheExistingFile) {
  ScratchFolder folder;
  folder.Write(L"l2.bak", "PLAYER'S SETTINGS");
  Win32PlatformOps platform;
  const OpResult refused = platform.WriteBytes(Narrow(folder.File(L"l2.bak")), "OTHER", Overwrite::Never);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->kind, FailureKind::AlreadyExists);
  EXPECT_EQ(folder.Read(L"l2.bak"), "PLAYER'S SETTINGS");
  EXPECT_FALSE(PathExists(folder.File(L"l2.bak.kestrane-partial")));
  EXPECT_FALSE(platform.WriteBytes(Narrow(folder.File(L"new.bak")), "NEW", Overwrite::Never));
  EXPECT_EQ(folder.Read(L"new.bak"), "NEW");
}

// The folder's own answer: a folder that takes new files passes the probe and keeps nothing of
// it; the VirtualStore is looked for in the local application data that the user's environment
// names. (A folder the user may not write is shown by the tests run as an unprivileged user.)
TEST(FoldersOnDisk, AFolderThatTakesNewFilesPassesTheProbeAndKeepsNothing) {
  ScratchFolder folder;
  Win32PlatformOps platform;
  ASSERT_FALSE(platform.SetWorkingFolder(Narrow(folder.Path())));
  EXPECT_FALSE(platform.ProbeFolder());
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder.Path() + L"\\*.tmp").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "the probe left its file";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  SetCurrentDirectoryW(L"C:\\");
  bool folderThere = true;
  const auto gone = ProbeNewFile(folder.Path() + L"\\no such folder", folderThere);
  ASSERT_TRUE(gone);
  EXPECT_FALSE(folderThere) << "a folder that is not there passed for one that refuses";
}

// Windows redirects only a 32-bit program whose manifest names no execution level: the
// stand-ins of the i686 build, never those of the x86-64 build, never Kestrane itself.
TEST(FoldersOnDisk, OnlyA32BitProgramWithoutAnExecutionLevelMayBeRedirected) {
  const std::wstring built = Widen(FolderOfModulePath(Narrow(ModulePath())));
  EXPECT_EQ(MayBeVirtualized(built + L"\\l2.exe"), sizeof(void*) == 4);
  EXPECT_EQ(MayBeVirtualized(built + L"\\l2encdec.exe"), sizeof(void*) == 4);
  EXPECT_FALSE(MayBeVirtualized(built + L"\\Kestrane.exe")) << "its manifest asks for asInvoker";
  ScratchFolder folder;
  folder.Write(L"l2.exe", "MZ but no program");
  EXPECT_FALSE(MayBeVirtualized(folder.File(L"l2.exe")));
  EXPECT_FALSE(MayBeVirtualized(folder.File(L"missing.exe")));
}

// The captions Windows puts on a box's buttons, as a sentence names them; none where user32
// does not say them (Wine), and the box's language names them instead.
TEST(BoxButtonsOnDisk, AreNamedAsWindowsCaptionsThem) {
  Win32PlatformOps platform;
  const bool given = GetProcAddress(GetModuleHandleW(L"user32.dll"), "MB_GetString") != nullptr;
  for (const BoxChoice button : {BoxChoice::Retry, BoxChoice::Close}) {
    const std::string name = platform.ButtonName(button);
    EXPECT_EQ(name.empty(), !given);
    EXPECT_EQ(name.find('&'), std::string::npos) << name;
  }
  if (given) {
    EXPECT_NE(platform.ButtonName(BoxChoice::Retry), platform.ButtonName(BoxChoice::Close));
  }
}

TEST(FoldersOnDisk, TheVirtualStoreIsTheOneInTheUsersLocalApplicationData) {
  ScratchFolder local;
  wchar_t saved[MAX_PATH] = L"";
  const DWORD had = GetEnvironmentVariableW(L"LOCALAPPDATA", saved, MAX_PATH);
  SetEnvironmentVariableW(L"LOCALAPPDATA", local.Path().c_str());
  EXPECT_EQ(LocalAppDataFolder(), local.Path());
  EXPECT_EQ(VirtualStoreFolderFor("C:\\Program Files\\Game", "C:", Narrow(LocalAppDataFolder())),
            Narrow(local.Path()) + "\\VirtualStore\\Program Files\\Game");
  SetEnvironmentVariableW(L"LOCALAPPDATA", had ? saved : nullptr);
}

}  // namespace
}  // namespace kestrane::testing
