#pragma once

#include <stdexcept>

#include "platform/PcmBuffer.h"

// A streaming converter from one input format to one output format (rate, channels, sample
// type). Its filter state carries from one buffer to the next, so a stream converted buffer by
// buffer sounds as if converted whole; flush() at the end gives what the filter still holds, so
// every input frame comes out.
// Exists so tests can replace it. Used from one thread at a time.
class AudioConverter {
 public:
  struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  virtual ~AudioConverter() = default;

  // Converts the whole input (in the converter's input format) into a new buffer in its output
  // format, as long as the conversion needs; while the filter fills, fewer frames come out than
  // the rate ratio suggests. Throws Failure.
  virtual PcmBuffer convert(const PcmBuffer& input) = 0;
  // Ends the stream: the frames still held in the filter. The converter then starts afresh.
  virtual PcmBuffer flush() = 0;
};
