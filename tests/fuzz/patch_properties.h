#pragma once

#include <string>
#include <string_view>

#include "client/mode_profiles.h"

namespace kestrane::fuzzing {

// Stops the run with a message when a property does not hold: libFuzzer keeps the input.
void Require(bool holds, const char* property);

// The text with the profile's four settings written into it, as the patch writes them.
std::string PatchedText(std::string_view text, const ModeProfile& profile);

// The properties of one accepted text and one profile: the four keys read back with the
// profile's values, every other setting reads as before, every line the patch did not touch
// keeps its bytes, no line end of a style the text lacked, and a second patch changes nothing.
void CheckPatch(std::string_view before, std::string_view after, const ModeProfile& profile);

}  // namespace kestrane::fuzzing
