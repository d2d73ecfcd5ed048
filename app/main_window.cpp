#include "app/main_window.h"

#include <cstdlib>

#include "app/action_progress.h"
#include "app/failure_report.h"
#include "client/client_files.h"

namespace kestrane {

MainForm Form1;

const Texts& MainForm::Language() {
  if (!texts_) {
    const DisplayLanguages display = platform_->UiLanguages();
    const std::string code = ChooseLanguage(display.preferred, display.defaultUi);
    texts_.emplace(code);
    texts_->SetSpeaksTheDisplayLanguage(!code.empty());
  }
  return *texts_;
}

void SetButtonsEnabled(bool enabled) {
  auto& platform = Form1.Platform();
  platform.SetButtonEnabled(ButtonId::Command1, enabled);
  platform.SetButtonEnabled(ButtonId::Command2, enabled);
  platform.SetButtonEnabled(ButtonId::Command3, enabled);
  Form1.SetButtonsEnabledState(enabled);
}

namespace {

// A start-up that cannot finish may leave "l2.ini" as an earlier run left it: the box says so.
void MustAtStartUp(const OpResult& result) {
  if (result) StopWithFailure(*result);
}

}  // namespace

// Runs before the window shows. A second copy or an incomplete client folder ends the
// program without a word, before any file is touched; a second copy shows the player the
// first one's box, if it has one, which may have come up behind a game.
void FormLoad() {
  auto& platform = Form1.Platform();
  SetButtonsEnabled(false);
  if (platform.PreviousInstance()) {
    platform.BringEarlierBoxForward();
    platform.EndProgram();
  }
  // Until the restore, "l2.ini" may hold what an earlier run left in it.
  Form1.EnterStep(ActionStep::Restoring);
  // Relative names, the tool's command lines and the patch path must all address the
  // folder that holds the program, whatever folder it was started from.
  MustAtStartUp(platform.SetWorkingFolder(platform.AppFolder()));
  bool clientFolder = false;
  MustAtStartUp(CheckRequiredFiles(platform, clientFolder));
  if (!clientFolder) platform.EndProgram();
  DiscardInterruptedCopies(platform);
  bool backupTaken = false;
  MustAtStartUp(EnsureSettingsBackup(platform, &backupTaken));
  if (backupTaken) Form1.EnterStep(ActionStep::Settled);  // "l2.ini" is what the backup holds
  MustAtStartUp(RestoreSettingsFromBackup(platform));
  Form1.EnterStep(ActionStep::Settled);
  SetButtonsEnabled(true);
}

// A close during an action is ignored: ending there would leave "l2.ini" patched, while
// the action ends the program itself once it has restored the settings.
bool FormQueryClose() { return Form1.ButtonsEnabled() && !Form1.ActionRunning(); }

// The disabled buttons are only a hint: a click already queued, or one that Wine delivers to
// a disabled button, still reaches its handler while an action pumps events in its pauses.
bool BeginAction(int plannedSeconds) {
  if (Form1.ActionRunning()) return false;
  auto& platform = Form1.Platform();
  Form1.SetActionRunning(true);
  Form1.EnterStep(ActionStep::Settled);
  platform.SetShutdownBlockReason(Form1.Language()[TextId::shutdown_reason]);
  platform.SetWorkingCursor(true);
  Form1.SetProgress(plannedSeconds * 1000, 0);
  ShowProgressAs(ProgressState::Normal);
  return true;
}

void EndAction(int exitCode) {
  auto& platform = Form1.Platform();
  if (Form1.ActionRunning()) {
    platform.ShowProgress(ProgressState::None, 0, 0);
    platform.SetWorkingCursor(false);
    platform.SetShutdownBlockReason("");
  }
  platform.EndProgram(exitCode);
  std::abort();  // not reached: the compiler cannot see through the virtual call that it ends
}

// The process may be ended as soon as this returns, so the restore happens here and now:
// a tool run still going is ended first so that it cannot write over it, and there is no
// retry and no box, since nobody would see them. Idle, nothing is touched.
void FormEndSession(bool sessionEnds) {
  if (!sessionEnds) return;
  auto& platform = Form1.Platform();
  if (Form1.ActionRunning() && Form1.ActiveRun() != RunId::None) platform.StopRun(Form1.ActiveRun());
  // Without an "l2.bak" the copy fails as "not found" and changes nothing.
  if (Form1.SettingsMayBePatched()) platform.CopyOver(kSettingsBackup, kClientSettings);
  EndAction(0);
}

}  // namespace kestrane
