#pragma once

#include <string_view>

#include "client/mode_profiles.h"

namespace kestrane {

inline constexpr std::string_view kDecodeCommand = "cmd /x /c l2encdec.exe -d l2.ini temp.dat";
inline constexpr std::string_view kEncodeCommand = "cmd /x /c l2encdec.exe -e413 temp.dat l2.ini";
inline constexpr std::string_view kClientCommand = "l2.exe";
// Shown minimised, with the focus.
inline constexpr int kShellWindowStyle = 2;
// How long after its start a tool run may take before the sequence gives up on it.
inline constexpr int kToolTimeoutSeconds = 60;
// How long after its start the client may take to finish starting before the restore
// goes ahead without it.
inline constexpr int kClientReadySeconds = 60;
// The pauses of a mode run, which its progress shows.
inline constexpr int kModePlannedSeconds = 5 + 3 + 3 + 5;
// How often a tool run or a client start that outlasts its pause is looked at.
inline constexpr int kToolPollMilliseconds = 100;

// The box for a start that Windows refused: the interpreter's (missing, or refused by a
// policy or a virus scanner), the client's demand for administrator rights, or the program's.
Box WhyNotStarted(const Failure& failure, std::string_view commandLine);

void RunModeSequence(const ModeProfile& profile);
void GameModeClick();
void DevelopModeClick();

}  // namespace kestrane
