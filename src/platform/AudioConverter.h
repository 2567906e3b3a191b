#pragma once

#include <stdexcept>

#include "platform/PcmBuffer.h"

// A streaming converter from one input format to one output format (rate, channels, sample
// type). Its filter state carries from one buffer to the next, so a stream converted buffer by
// buffer sounds as if converted whole; it is never told that the stream ended.
// Exists so tests can replace it. Used from one thread at a time.
class AudioConverter {
 public:
  struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  virtual ~AudioConverter() = default;

  // Converts the input (in the converter's input format) into the output buffer (in its output
  // format), replacing the output's frames; the output's frame length tells how many came out,
  // which may be fewer than the rate ratio suggests while the filter fills. Throws Failure.
  virtual void convert(const PcmBuffer& input, PcmBuffer& output) = 0;
};
