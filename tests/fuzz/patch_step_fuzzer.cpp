// The whole patch step against the fake platform, with the fuzzed bytes as the work copy
// that the settings tool wrote.
#include <cstddef>
#include <cstdint>

#include "app/box_catalogue.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/ini_text.h"
#include "tests/support/fake_platform_ops.h"
#include "tests/fuzz/patch_properties.h"

using kestrane::fuzzing::PatchedText;
using kestrane::fuzzing::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrane;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const ModeProfile& profile = size % 2 ? DevelopProfile : GameProfile;
  FakePlatformOps fake;
  Form1 = MainForm{};
  Form1.Bind(fake);
  fake.SetTickHandler(Timer1Tick);
  const std::string path = "C:\\Games\\Client/temp.dat";
  fake.PutFile(path, bytes);
  const OpResult result = PatchSettingsFile(fake, path, profile);
  const DecodedSettings decoded = DecodeSettingsText(bytes);
  if (result) {
    Require(!decoded.settings, "a text the decoder takes is patched");
    Require(result->box == Box::TextFormUnchangeable && !decoded.problem.empty() && !result->details.empty(),
            "a refusal says what and why");
    Require(ComposeBox(*result, Standing::PutBackNotStarted, RetryOffer::No, {}).ownWords <= kMaxOwnWords,
            "its box stays short");
    Require(fake.FileBytes(path) == bytes && fake.CallsOf({"Write"}).empty(), "a refusal writes nothing");
    return 0;
  }
  Require(decoded.settings.has_value(), "only an accepted text is patched");
  Require(fake.FileBytes(path) == EncodeSettingsText({decoded.settings->form, PatchedText(decoded.settings->text, profile)}),
          "the work copy holds the patched text in its own form");
  return 0;
}
