// The text round: decode the bytes, patch them with each profile, encode, decode again and
// read the settings back.
#include <cstddef>
#include <cstdint>

#include "client/ini_text.h"
#include "tests/fuzz/patch_properties.h"

using kestrane::fuzzing::CheckPatch;
using kestrane::fuzzing::PatchedText;
using kestrane::fuzzing::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrane;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const DecodedSettings decoded = DecodeSettingsText(bytes);
  if (!decoded.settings) {
    Require(!decoded.problem.empty(), "a refused text is refused with a reason");
    return 0;
  }
  const SettingsText& before = *decoded.settings;
  Require(EncodeSettingsText(before) == bytes, "an accepted text encodes back to its bytes");
  for (const ModeProfile* profile : {&GameProfile, &DevelopProfile}) {
    const std::string patched = PatchedText(before.text, *profile);
    const DecodedSettings again = DecodeSettingsText(EncodeSettingsText({before.form, patched}));
    Require(again.settings && again.settings->form == before.form && again.settings->text == patched,
            "the patched text keeps its form and decodes back");
    CheckPatch(before.text, patched, *profile);
  }
  Require(PatchedText(PatchedText(before.text, GameProfile), DevelopProfile) == PatchedText(before.text, DevelopProfile),
          "Develop after Game gives what Develop alone gives");
  return 0;
}
