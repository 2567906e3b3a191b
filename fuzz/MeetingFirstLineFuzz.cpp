// The first line of listen meeting: an identity read from it names a file inside the meetings
// folder, never a path.
#include <cstdlib>

#include "FuzzInput.h"
#include "listening/meeting/MeetingIdentity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto identity = meetingIdentity(fuzzInput::text(data, size));
  if (!identity) return 0;
  if (identity->id.size() != 17) std::abort();
  if (identity->id.find_first_not_of("0123456789-") != std::string::npos) std::abort();
  return 0;
}
