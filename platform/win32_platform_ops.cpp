#include "platform/win32_platform_ops.h"

#include "platform/program_paths.h"
#include "platform/win32_attention.h"
#include "platform/win32_folder_check.h"
#include "platform/win32_program_image.h"

namespace kestrane {

void Win32PlatformOps::AttachWindow(HWND form, const std::array<HWND, 3>& buttons) {
  form_ = form;
  buttons_ = buttons;
}

// Windows' line names what its inserts stand for ("%1 is not a valid Win32 application") with
// the failure's first path or command line; with none, it is left out.
Failure ToFailure(const OsFailure& failure) {
  Failure out{failure.operation, {}, failure.error, {}};
  out.kind = failure.kind.value_or(KindOfWindowsError(failure.error));
  out.mayBeDamaged = failure.mayBeDamaged;
  for (const auto& [detail, value] : failure.details) out.details.emplace_back(detail, Narrow(value));
  const std::string subject = out.details.empty() ? std::string() : out.details.front().second;
  out.errorText = FillMessageInserts(Narrow(WindowsErrorText(failure.error)), subject);
  return out;
}

namespace {

OpResult Converted(const OsResult& result) {
  if (!result) return std::nullopt;
  return ToFailure(*result);
}

}  // namespace

StartResult Win32PlatformOps::StartProgram(std::string_view commandLine, int windowStyle, Containment containment) {
  const std::string folder = AppFolder();
  const auto program =
      ProgramPathFor(commandLine, folder, interpreterFolder_.empty() ? Narrow(SystemFolder()) : interpreterFolder_);
  if (!program)
    return {ToFailure(OsFailure{Operation::FindInterpreter, {{Detail::CommandLine, Widen(commandLine)}},
                                ERROR_PATH_NOT_FOUND})};
  StartedProcess started;
  const auto show = static_cast<WORD>(windowStyle);
  const OsResult result =
      containment == Containment::Contained
          ? StartContainedProcess(Widen(*program), Widen(commandLine), Widen(folder), show, started)
          : StartPlainProcess(Widen(*program), Widen(commandLine), Widen(folder), show, started);
  if (OpResult failure = Converted(result)) return {std::move(failure)};
  runs_.push_back(std::move(started));
  return {std::nullopt, static_cast<RunId>(runs_.size())};
}

StartedProcess* Win32PlatformOps::Started(RunId run) {
  const auto index = static_cast<size_t>(run) - 1;
  return index < runs_.size() ? &runs_[index] : nullptr;
}

std::optional<std::uint32_t> Win32PlatformOps::ExitCodeOf(RunId run) {
  StartedProcess* started = Started(run);
  return started ? ExitCodeIfEnded(*started) : std::nullopt;
}

bool Win32PlatformOps::StopRun(RunId run) {
  StartedProcess* started = Started(run);
  return !started || EndStartedProcess(*started);
}

Readiness Win32PlatformOps::ReadinessOf(RunId run) {
  StartedProcess* started = Started(run);
  return started ? ReadinessOfProcess(*started) : Readiness::NoWait;
}

OpResult Win32PlatformOps::CopyOver(std::string_view source, std::string_view destination) {
  return Converted(CopyFileOver(Widen(source), Widen(destination), {.inPlaceIfHeld = true}));
}

OpResult Win32PlatformOps::RemoveFile(std::string_view name) { return Converted(DeleteFileNamed(Widen(name))); }

ExistsResult Win32PlatformOps::FileExists(std::string_view path) {
  ExistsResult result;
  result.failure = Converted(QueryPathExists(Widen(path), result.exists));
  return result;
}

StampResult Win32PlatformOps::StampOf(std::string_view path) {
  std::optional<std::pair<std::uint64_t, std::int64_t>> found;
  StampResult result{Converted(SizeAndWriteTime(Widen(path), found))};
  if (found) result.stamp = FileStamp{found->first, found->second};
  return result;
}

ReadResult Win32PlatformOps::ReadBytes(std::string_view path) {
  ReadResult read;
  read.failure = Converted(ReadWholeFile(Widen(path), read.bytes));
  return read;
}

OpResult Win32PlatformOps::WriteBytes(std::string_view path, std::string_view bytes, Overwrite overwrite) {
  return Converted(WriteBytesOver(Widen(path), bytes, overwrite));
}

void Win32PlatformOps::DiscardInterruptedCopy(std::string_view destination) {
  DiscardTemporaryCopy(Widen(destination));
}

OpResult Win32PlatformOps::SetWorkingFolder(std::string_view folder) {
  const std::wstring wide = Widen(folder);
  if (SetCurrentDirectoryW(wide.c_str())) return std::nullopt;
  return ToFailure(OsFailure{Operation::UseFolder, {{Detail::Folder, wide}}, GetLastError()});
}

OpResult Win32PlatformOps::ProbeFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(size, L'\0');
  folder.resize(GetCurrentDirectoryW(size, folder.data()));
  bool folderThere = false;
  OpResult failure = Converted(ProbeNewFile(folder, folderThere));
  if (!failure) return failure;
  if (failure->error == ERROR_ACCESS_DENIED) failure->kind = FailureKind::FolderDenied;
  // Ransomware protection refuses a new file of a program it blocks as "not found"; a folder
  // that is not there any more is on a drive that is gone.
  if (failure->kind == FailureKind::NotFound)
    failure->kind = folderThere ? FailureKind::FolderGuarded : FailureKind::DriveGone;
  return failure;
}

OpResult Win32PlatformOps::ProbeWrite(std::string_view path) { return Converted(ProbeWritable(Widen(path))); }

// Programs started by an elevated Kestrane are elevated too, and never redirected.
std::string Win32PlatformOps::VirtualStoreFolder() {
  if (!VirtualizationAllowed()) return {};
  const std::string windows = Narrow(SystemFolder());
  return VirtualStoreFolderFor(AppFolder(), windows.substr(0, 2), Narrow(LocalAppDataFolder()));
}

bool Win32PlatformOps::MayBeRedirected(std::string_view program) {
  return MayBeVirtualized(Widen(JoinPath(AppFolder(), program)));
}

// Time asleep does not count: a lid closed while the tool runs must not end its run on waking.
std::int64_t Win32PlatformOps::NowMs() {
  ULONGLONG hundredNanoseconds = 0;
  QueryUnbiasedInterruptTime(&hundredNanoseconds);
  return static_cast<std::int64_t>(hundredNanoseconds / 10000);
}

// The taskbar object exists only once the shell has made the button (Windows 7 and later);
// without it, or without the shell's object (as under Wine), progress is simply not shown.
void Win32PlatformOps::AttachTaskbarButton() {
  if (!comStarted_) comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  if (!comStarted_) return;
  ITaskbarList3* taskbar = nullptr;
  // __uuidof rather than the uuid library, which would link in every GUID it knows.
  if (FAILED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskbarList3),
                              reinterpret_cast<void**>(&taskbar))))
    return;
  taskbar_.reset(taskbar);
  if (FAILED(taskbar_->HrInit())) {
    taskbar_.reset();
    return;
  }
  ApplyProgress();
}

void Win32PlatformOps::ShowProgress(ProgressState state, std::int64_t done, std::int64_t total) {
  progressState_ = state;
  progressDone_ = done;
  progressTotal_ = total;
  ApplyProgress();
}

void Win32PlatformOps::ApplyProgress() {
  if (!taskbar_ || !form_) return;
  TBPFLAG flag = TBPF_NOPROGRESS;
  switch (progressState_) {
    case ProgressState::None: flag = TBPF_NOPROGRESS; break;
    case ProgressState::Normal: flag = TBPF_NORMAL; break;
    case ProgressState::Waiting: flag = TBPF_INDETERMINATE; break;
    case ProgressState::Error: flag = TBPF_ERROR; break;
  }
  taskbar_->SetProgressState(form_, flag);
  if (flag == TBPF_NORMAL || flag == TBPF_ERROR)
    taskbar_->SetProgressValue(form_, static_cast<ULONGLONG>(progressDone_), static_cast<ULONGLONG>(progressTotal_));
}

// The arrow with the hourglass: busy, yet the window still answers.
HCURSOR Win32PlatformOps::ClientCursor() const {
  return LoadCursorW(nullptr, workingCursor_ ? IDC_APPSTARTING : IDC_ARROW);
}

void Win32PlatformOps::SetWorkingCursor(bool working) {
  workingCursor_ = working;
  POINT at{};
  if (form_ && GetCursorPos(&at)) {
    const HWND under = WindowFromPoint(at);
    if (under == form_ || IsChild(form_, under)) SetCursor(ClientCursor());
  }
}

// Windows gives the foreground only to the program the player works with. Behind a game,
// the box still comes up above other windows, and the taskbar button flashes until the player
// turns to it; until then "l2.ini" may hold the mode's settings.
BoxChoice Win32PlatformOps::ShowErrorBox(const BoxMessage& box) {
  const HWND owner = (form_ && IsWindowVisible(form_)) ? form_ : nullptr;
  const bool behind = owner ? AskForAttentionUnlessInFront(owner) : !FormInFront(form_);
  UINT style = (box.offerRetry ? MB_RETRYCANCEL : MB_OK) | (box.icon == BoxIcon::Warning ? MB_ICONWARNING : MB_ICONERROR);
  // System-modal is application-modal with the box topmost, as Windows and Wine both draw it.
  style |= MB_SETFOREGROUND | (behind ? MB_SYSTEMMODAL : 0);
  const int answer = MessageBoxW(owner, Widen(box.text).c_str(), L"Kestrane", style);
  if (behind && owner) StopAskingForAttention(owner);
  return answer == IDRETRY ? BoxChoice::Retry : BoxChoice::Close;
}

// user32 gives the captions it puts on a box's buttons, in the player's language; looked up,
// as it is not in every import library.
std::string Win32PlatformOps::ButtonName(BoxChoice button) {
  const auto get = LookUpFunction<LPCWSTR(WINAPI*)(UINT)>(L"user32.dll", "MB_GetString");
  const LPCWSTR caption = get ? get(button == BoxChoice::Retry ? IDRETRY - 1 : IDCANCEL - 1) : nullptr;
  return caption ? CaptionWithoutMark(Narrow(caption)) : std::string();
}

// The display languages, as the buttons of a box follow them: never the regional format.
DisplayLanguages Win32PlatformOps::UiLanguages() {
  DisplayLanguages languages;
  languages.defaultUi = GetUserDefaultUILanguage();
  ULONG count = 0;
  ULONG size = 0;
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) return languages;
  std::wstring names(size, L'\0');
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) return languages;
  for (const wchar_t* name = names.c_str(); *name; name += wcslen(name) + 1) languages.preferred.push_back(Narrow(name));
  return languages;
}

void Win32PlatformOps::PumpPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // A quit request cannot end a running action; the action ends the program itself.
    if (message.message == WM_QUIT) continue;
    if (form_ && IsDialogMessageW(form_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Sleeps until a message arrives or the timer is due, then handles all that is waiting.
// The wait is capped so that a caller that asks with no timer running cannot hang.
void Win32PlatformOps::DoEvents() {
#ifndef KESTRANE_SPIN_WAIT
  MsgWaitForMultipleObjectsEx(0, nullptr, 1000, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
#endif
  PumpPendingMessages();
}

void Win32PlatformOps::EndProgram(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

std::string Win32PlatformOps::AppFolder() { return FolderOfModulePath(Narrow(ModulePath())); }

// The mutex lives as long as the process, so of two copies started at the same moment
// exactly one sees the other.
// A mutex that cannot be created or opened (access denied, as when the first copy runs
// elevated) counts as another copy running: two copies must never work on one folder.
bool Win32PlatformOps::PreviousInstance() {
  if (!instanceChecked_) {
    instanceChecked_ = true;
    instanceMutex_.Reset(CreateMutexW(nullptr, FALSE, L"Local\\Kestrane.Launcher"));
    previousInstance_ = !instanceMutex_.Valid() || GetLastError() == ERROR_ALREADY_EXISTS;
  }
  return previousInstance_;
}

void Win32PlatformOps::BringEarlierBoxForward() { BringBoxOfEarlierCopyForward(kFormWindowClass); }

void Win32PlatformOps::SetShutdownBlockReason(std::string_view reason) {
  if (!form_) return;
  if (reason.empty())
    ShutdownBlockReasonDestroy(form_);
  else
    ShutdownBlockReasonCreate(form_, Widen(reason).c_str());
}

void Win32PlatformOps::SetButtonEnabled(ButtonId button, bool enabled) {
  EnableWindow(buttons_[static_cast<size_t>(button)], enabled);
}

void Win32PlatformOps::SetTimerInterval(std::int32_t milliseconds) {
  timerInterval_ = milliseconds;
  RearmTimer();
}

std::int32_t Win32PlatformOps::TimerInterval() const { return timerInterval_; }

void Win32PlatformOps::SetTimerEnabled(bool enabled) {
  if (enabled == timerEnabled_) return;
  timerEnabled_ = enabled;
  RearmTimer();
}

void Win32PlatformOps::RearmTimer() {
  if (timerEnabled_ && timerInterval_ > 0) {
    timerDueUs_ = PreciseMicroseconds() + std::int64_t{timerInterval_} * 1000;
    SetTimer(form_, kTimerId, static_cast<UINT>(timerInterval_), nullptr);
  } else {
    KillTimer(form_, kTimerId);
  }
}

// WM_TIMER may come a little early against a precise clock; an early one re-arms for the
// rest, so that every tick comes at least a whole interval after the timer started.
bool Win32PlatformOps::TakeDueTick() {
  if (!timerEnabled_ || timerInterval_ <= 0) {
    KillTimer(form_, kTimerId);
    return false;
  }
  const std::int64_t now = PreciseMicroseconds();
  if (now < timerDueUs_) {
    const auto rest = (timerDueUs_ - now + 999) / 1000;
    SetTimer(form_, kTimerId, static_cast<UINT>(rest), nullptr);
    return false;
  }
  timerDueUs_ = now + std::int64_t{timerInterval_} * 1000;
  SetTimer(form_, kTimerId, static_cast<UINT>(timerInterval_), nullptr);
  return true;
}

}  // namespace kestrane
