// The standard-input lines of listen hold-key: every line is "stop" or one of the requests.
#include <cstdlib>

#include "FuzzInput.h"
#include "landing/command/HoldKeyRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line = fuzzInput::text(data, size);
  const bool stop = HoldKeyRequest::isStop(line);
  auto request = HoldKeyRequest::parse(line);
  // "stop" is a word, never a JSON object.
  if (stop && !std::holds_alternative<HoldKeyRequest::Nothing>(request)) std::abort();
  return 0;
}
