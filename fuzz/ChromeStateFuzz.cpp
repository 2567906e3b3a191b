// Chrome's "Local State" file: any text gives an array of profiles with a directory, an address
// and a numeric active time.
#include <cstdlib>

#include "FuzzInput.h"
#include "main/Reply.h"
#include "main/apps/ChromeProfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto profiles = chromeProfiles(fuzzInput::text(data, size));
  if (!profiles.is_array()) std::abort();
  for (const auto& profile : profiles) {
    if (!profile.at("dir").is_string() || !profile.at("email").is_string() ||
        !profile.at("activeTime").is_number()) {
      std::abort();
    }
  }
  // The reply is written as it would be for chrome-profiles.
  (void)jsonText(profiles);
  return 0;
}
