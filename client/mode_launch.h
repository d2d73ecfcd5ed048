#pragma once

#include <string_view>

#include "client/client_files.h"
#include "client/mode_profiles.h"

namespace kestrane {

// Shown minimised, with the focus.
inline constexpr int kShellWindowStyle = 2;
// How long after its start a tool run may take before the sequence gives up on it.
inline constexpr int kToolTimeoutSeconds = 60;
// How long after its start the client may take to finish starting before the restore
// goes ahead without it.
inline constexpr int kClientReadySeconds = 60;
// The pauses of a mode run: they give the tool and the client their time, and its progress
// shows their sum.
inline constexpr int kPauseAfterDecodeSeconds = 5;
inline constexpr int kPauseAfterPatchSeconds = 3;
inline constexpr int kPauseAfterEncodeSeconds = 3;
inline constexpr int kPauseAfterClientSeconds = 5;
inline constexpr int kModePlannedSeconds =
    kPauseAfterDecodeSeconds + kPauseAfterPatchSeconds + kPauseAfterEncodeSeconds + kPauseAfterClientSeconds;
// How often a tool run or a client start that outlasts its pause is looked at.
inline constexpr int kToolPollMilliseconds = 100;

// The box for a start that Windows refused: the interpreter's (missing, or refused by a
// policy or a virus scanner), the client's demand for administrator rights, or the program's.
Box WhyNotStarted(const Failure& failure, std::string_view commandLine);

void RunModeSequence(const ModeProfile& profile);
void GameModeClick();
void DevelopModeClick();

}  // namespace kestrane
