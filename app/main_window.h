#pragma once

#include <string_view>

#include <optional>

#include "app/texts.h"
#include "platform/platform_ops.h"

namespace kestrane {

// Where the running action is, which decides what a stop must put back.
enum class ActionStep {
  Settled,        // "l2.ini" holds the stored settings as far as this action is concerned
  Preparing,      // a mode has changed nothing yet: its checks before the first tool run
  ToolRuns,       // a tool run has started: "l2.ini" may hold patched or half-written settings
  ClientStarted,  // the client runs on the patched settings; they go back at the restore
  Restoring,      // the action's own restore is under way, or start-up's (until it is done)
};

// The program's one window. Its buttons and timer live behind the platform that the
// window is bound to; it remembers only the buttons' state, which tells whether an
// action runs (every action disables them first, and only start-up enables them).
class MainForm {
 public:
  void Bind(PlatformOps& platform) { platform_ = &platform; }
  PlatformOps& Platform() const { return *platform_; }
  bool ButtonsEnabled() const { return buttonsEnabled_; }
  void SetButtonsEnabledState(bool enabled) { buttonsEnabled_ = enabled; }
  bool ActionRunning() const { return actionRunning_; }
  void SetActionRunning(bool running) { actionRunning_ = running; }
  ActionStep Step() const { return step_; }
  void EnterStep(ActionStep step) { step_ = step; }
  // Whether "l2.ini" may hold settings other than the stored ones because of this action.
  bool SettingsMayBePatched() const {
    return actionRunning_ && step_ != ActionStep::Settled && step_ != ActionStep::Preparing;
  }
  // Whether the mode's encode has been checked: "l2.ini" holds the mode's settings until the
  // restore.
  bool ModeInSettings() const { return SettingsMayBePatched() && modeInSettings_; }
  void SetModeInSettings(bool in) { modeInSettings_ = in; }
  // What the running mode has done so far: until its encode starts, "l2.ini" is untouched.
  bool ModeRuns() const { return actionRunning_ && modeRuns_; }
  void SetModeRuns() { modeRuns_ = true; }
  bool EncodeStarted() const { return encodeStarted_; }
  void SetEncodeStarted() { encodeStarted_ = true; }
  bool ClientStarted() const { return clientStarted_; }
  void SetClientStarted() { clientStarted_ = true; }
  // The tool run the running action waits on, if any: a session end must stop it.
  RunId ActiveRun() const { return activeRun_; }
  void SetActiveRun(RunId run) { activeRun_ = run; }
  // The running action's planned length and how much of it has passed, in milliseconds.
  std::int64_t PlannedMs() const { return plannedMs_; }
  std::int64_t PassedMs() const { return passedMs_; }
  void SetProgress(std::int64_t plannedMs, std::int64_t passedMs) {
    plannedMs_ = plannedMs;
    passedMs_ = passedMs;
  }
  // The texts in the player's display language, decoded the first time anything is said.
  const Texts& Language();

 private:
  PlatformOps* platform_ = nullptr;
  bool buttonsEnabled_ = false;
  bool actionRunning_ = false;
  ActionStep step_ = ActionStep::Settled;
  bool modeInSettings_ = false;
  bool modeRuns_ = false;
  bool encodeStarted_ = false;
  bool clientStarted_ = false;
  RunId activeRun_ = RunId::None;
  std::int64_t plannedMs_ = 0;
  std::int64_t passedMs_ = 0;
  std::optional<Texts> texts_;
};

extern MainForm Form1;

void FormLoad();
void SetButtonsEnabled(bool enabled);
// Whether a request to close the window may end the program now.
bool FormQueryClose();
// Marks an action of the given planned length as running; false when one already runs,
// and the caller must do nothing.
bool BeginAction(int plannedSeconds);
// The last step of every action: what showed it running goes, and the program ends.
[[noreturn]] void EndAction(int exitCode = 0);

// Windows' logoff or shutdown: with a true session end the program ends, after putting the
// stored settings back if an action was running.
void FormEndSession(bool sessionEnds);

}  // namespace kestrane
